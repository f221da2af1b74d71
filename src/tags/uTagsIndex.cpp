#include "tags/uTagsIndex.h"

#include "base/Exception.h"
#include "base/Handle.h"
#include "base/uStrings.h"

#include <algorithm>
#include <atomic>
#include <list>

namespace {

constexpr unsigned OffsetBits = 40;
constexpr std::uint64_t OffsetMask = (std::uint64_t(1) << OffsetBits) - 1;
// Indexes kept at once: a few projects open side by side. A kernel's takes
// about 64 MB.
constexpr size_t KeptIndexes = 4;

std::atomic<std::uint64_t> GBuildCount{0};

struct TKept {
    std::wstring Path; // upper-cased: the system's names are without case
    std::uint64_t Size;
    FILETIME LastWrite;
    std::shared_ptr<const TTagsIndex> Index;
};

// The kept indexes, newest first, and their lock: a lookup may come from
// a thread other than the host's.
struct TKeptIndexes {
    TCriticalSection Lock;
    std::list<TKept> Entries;
};

TKeptIndexes& Kept()
{
    static TKeptIndexes Indexes;
    return Indexes;
}

// Stable by the 12 bits at Shift: two passes put the keys in the order of
// their hashes, each hash's lines in the order of the file.
void RadixPass(std::vector<std::uint64_t>& Keys, std::vector<std::uint64_t>& Scratch, unsigned Shift)
{
    std::vector<size_t> Starts(4097, 0);
    for (const std::uint64_t Key : Keys)
        ++Starts[((Key >> Shift) & 4095) + 1];
    for (size_t I = 1; I < Starts.size(); ++I)
        Starts[I] += Starts[I - 1];
    Scratch.resize(Keys.size());
    for (const std::uint64_t Key : Keys)
        Scratch[Starts[(Key >> Shift) & 4095]++] = Key;
    Keys.swap(Scratch);
}

} // namespace

std::uint32_t TTagsIndex::FoldHash(std::string_view Name) noexcept
{
    std::uint32_t Hash = 2166136261u;
    for (const char C : Name) {
        auto Byte = static_cast<unsigned char>(C);
        if (Byte >= 'a' && Byte <= 'z')
            Byte = static_cast<unsigned char>(Byte - 'a' + 'A');
        Hash = (Hash ^ Byte) * 16777619u;
    }
    return Hash;
}

std::shared_ptr<const TTagsIndex> TTagsIndex::Build(std::string_view Bytes, std::uint64_t Begin)
{
    if (Bytes.size() > OffsetMask)
        throw EInOutError(L"The tags file is too large to index");
    auto Index = std::make_shared<TTagsIndex>();
    std::vector<std::uint64_t>& Keys = Index->FKeys;
    // About one tag in 150 bytes; a little too much is cheaper than growing.
    Keys.reserve(Bytes.size() / 100 + 16);
    const char* const Data = Bytes.data();
    size_t Pos = static_cast<size_t>(Begin);
    while (Pos < Bytes.size()) {
        const size_t Break = FindByte(Bytes, Pos, '\n');
        // The name's TAB comes long before the line's end.
        const size_t Tab = FindByte(Bytes.substr(0, Break), Pos, '\t');
        if (Tab < Break && Tab > Pos && !(Data[Pos] == '!' && Data[Pos + 1] == '_'))
            Keys.push_back(std::uint64_t(FoldHash(Bytes.substr(Pos, Tab - Pos)) >> 8) << OffsetBits | Pos);
        Pos = Break + 1;
    }
    std::vector<std::uint64_t> Scratch;
    RadixPass(Keys, Scratch, OffsetBits);
    RadixPass(Keys, Scratch, OffsetBits + 12);
    Keys.shrink_to_fit();
    ++GBuildCount;
    return Index;
}

std::shared_ptr<const TTagsIndex> TTagsIndex::Of(const std::wstring& Path, std::uint64_t Size,
                                                 const FILETIME& LastWrite, std::string_view Bytes, std::uint64_t Begin)
{
    const std::wstring Key = UpperCaseText(Path);
    TKeptIndexes& Indexes = Kept();
    {
        TCriticalSectionLock Lock(Indexes.Lock);
        for (auto It = Indexes.Entries.begin(); It != Indexes.Entries.end(); ++It) {
            if (It->Path != Key)
                continue;
            if (It->Size == Size && ::CompareFileTime(&It->LastWrite, &LastWrite) == 0) {
                Indexes.Entries.splice(Indexes.Entries.begin(), Indexes.Entries, It);
                return Indexes.Entries.front().Index;
            }
            Indexes.Entries.erase(It);
            break;
        }
    }
    // Built outside the lock: it takes a second on a large file, and two
    // threads building the same one waste only time.
    auto Index = Build(Bytes, Begin);
    TCriticalSectionLock Lock(Indexes.Lock);
    Indexes.Entries.push_front({Key, Size, LastWrite, Index});
    if (Indexes.Entries.size() > KeptIndexes)
        Indexes.Entries.pop_back();
    return Index;
}

std::uint64_t TTagsIndex::BuildCount() noexcept
{
    return GBuildCount.load();
}

void TTagsIndex::ClearKept() noexcept
{
    TKeptIndexes& Indexes = Kept();
    std::list<TKept> Dropped;
    {
        TCriticalSectionLock Lock(Indexes.Lock);
        Dropped.swap(Indexes.Entries);
    }
}

void TTagsIndex::AppendCandidates(std::string_view Name, std::vector<std::uint64_t>& Offsets) const
{
    const std::uint64_t Hash = FoldHash(Name) >> 8;
    auto It = std::lower_bound(FKeys.begin(), FKeys.end(), Hash << OffsetBits);
    for (; It != FKeys.end() && (*It >> OffsetBits) == Hash; ++It)
        Offsets.push_back(*It & OffsetMask);
}
