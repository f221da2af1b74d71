#include "bridge/uEditorChanges.h"

#include "bridge/uFarEditor.h"

#include <algorithm>
#include <vector>

namespace {

struct TWatched {
    intptr_t EditorId;
    std::uint64_t Stamp;
};

// Only the host's thread comes here. Editors leave at EE_CLOSE, so the list
// holds the open ones that were ever watched.
std::vector<TWatched> Watched;
std::uint64_t LastStamp = 0;

TWatched* Find(intptr_t EditorId) noexcept
{
    const auto It = std::find_if(Watched.begin(), Watched.end(),
                                 [EditorId](const TWatched& W) { return W.EditorId == EditorId; });
    return It == Watched.end() ? nullptr : &*It;
}

} // namespace

std::uint64_t TEditorChanges::Watch(intptr_t EditorId)
{
    if (const TWatched* Known = Find(EditorId))
        return Known->Stamp;
    // Room first: once subscribed, the editor must be on the list.
    Watched.reserve(Watched.size() + 1);
    if (!TFarEditor::SubscribeChanges(EditorId))
        return 0;
    Watched.push_back({EditorId, ++LastStamp});
    return LastStamp;
}

void TEditorChanges::Changed(intptr_t EditorId) noexcept
{
    if (TWatched* Known = Find(EditorId))
        Known->Stamp = ++LastStamp;
}

void TEditorChanges::Forget(intptr_t EditorId) noexcept
{
    std::erase_if(Watched, [EditorId](const TWatched& W) { return W.EditorId == EditorId; });
}

void TEditorChanges::FinalizeUnit() noexcept
{
    Watched = std::vector<TWatched>();
}
