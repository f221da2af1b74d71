#include "plugin/uTagsMemory.h"

#include "base/uStrings.h"

#include <algorithm>
#include <cstring>

namespace {

// Multiplies and folds; the two halves take different constants, so that
// their 128 bits are as good as one wide hash for telling texts apart.
inline std::uint64_t Mix(std::uint64_t State, std::uint64_t Value, std::uint64_t Factor) noexcept
{
    State = (State ^ Value) * Factor;
    return State ^ (State >> 29);
}

size_t ItemsBytes(const std::vector<TCtagsItem>& Items) noexcept
{
    size_t Bytes = Items.capacity() * sizeof(TCtagsItem);
    for (const TCtagsItem& Item : Items)
        Bytes += (Item.Name.capacity() + Item.Kind.capacity() + Item.Scope.capacity()) * sizeof(wchar_t);
    return Bytes;
}

} // namespace

void TTextDigest::AddLine(std::wstring_view Line) noexcept
{
    size_t I = 0;
    // Four characters at a time: a list's second open reads the whole text.
    for (; I + 4 <= Line.size(); I += 4) {
        std::uint64_t Block;
        std::memcpy(&Block, Line.data() + I, sizeof(Block));
        FHigh = Mix(FHigh, Block, 0xFF51AFD7ED558CCDull);
        FLow = Mix(FLow, Block, 0xC4CEB9FE1A85EC53ull);
    }
    std::uint64_t Rest = 0;
    for (; I < Line.size(); ++I)
        Rest = Rest << 16 | Line[I];
    // The line's length ends it, so that no two ways to break a text into
    // lines give one digest.
    Rest = Rest << 16 ^ (Line.size() << 48 | 0xFFFF);
    FHigh = Mix(FHigh, Rest, 0xFF51AFD7ED558CCDull);
    FLow = Mix(FLow, Rest, 0xC4CEB9FE1A85EC53ull);
    FLength += Line.size() + 1;
}

TProgramStamp TProgramStamp::Of(const std::wstring& ExePath)
{
    WIN32_FILE_ATTRIBUTE_DATA Data{};
    if (ExePath.empty() || !::GetFileAttributesExW(ExePath.c_str(), GetFileExInfoStandard, &Data))
        return {};
    return {ExePath, (std::uint64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow, Data.ftLastWriteTime};
}

bool TProgramStamp::operator==(const TProgramStamp& Other) const noexcept
{
    return Path == Other.Path && Size == Other.Size && ::CompareFileTime(&Written, &Other.Written) == 0;
}

TTagsMemory& TTagsMemory::Instance()
{
    static TTagsMemory Memory;
    return Memory;
}

std::shared_ptr<const std::vector<TCtagsItem>> TTagsMemory::Use(size_t Index)
{
    // Used again: last to go.
    std::rotate(FEntries.begin() + static_cast<std::ptrdiff_t>(Index),
                FEntries.begin() + static_cast<std::ptrdiff_t>(Index) + 1, FEntries.end());
    return FEntries.back().Items;
}

std::shared_ptr<const std::vector<TCtagsItem>> TTagsMemory::Find(const std::wstring& FileName,
                                                                 const TTextDigest& Digest,
                                                                 const TProgramStamp& Program, const TTextSeen& Seen)
{
    if (Program.Empty())
        return nullptr;
    const std::wstring Key = UpperCaseText(FileName);
    for (size_t I = 0; I < FEntries.size(); ++I) {
        if (FEntries[I].Digest == Digest && FEntries[I].Program == Program && FEntries[I].FileKey == Key) {
            FEntries[I].Seen = Seen;
            return Use(I);
        }
    }
    return nullptr;
}

std::shared_ptr<const std::vector<TCtagsItem>>
TTagsMemory::FindUnchanged(const std::wstring& FileName, const TTextSeen& Seen, const TProgramStamp& Program)
{
    if (Program.Empty() || Seen.Stamp == 0)
        return nullptr;
    const std::wstring Key = UpperCaseText(FileName);
    for (size_t I = 0; I < FEntries.size(); ++I) {
        const TEntry& Entry = FEntries[I];
        if (Entry.Seen.Stamp == Seen.Stamp && Entry.Seen.CodePage == Seen.CodePage && Entry.Program == Program &&
            Entry.FileKey == Key)
            return Use(I);
    }
    return nullptr;
}

void TTagsMemory::Remember(const std::wstring& FileName, const TTextDigest& Digest, const TProgramStamp& Program,
                           std::shared_ptr<const std::vector<TCtagsItem>> Items, const TTextSeen& Seen)
{
    if (Program.Empty() || !Items)
        return;
    // One text a file: the older one will not come back often enough to
    // keep.
    std::wstring Key = UpperCaseText(FileName);
    std::erase_if(FEntries, [&](const TEntry& Entry) { return Entry.FileKey == Key; });
    const size_t Bytes = ItemsBytes(*Items);
    if (Bytes > MaxBytes)
        return;
    size_t Held = Bytes;
    for (const TEntry& Entry : FEntries)
        Held += Entry.Bytes;
    while (!FEntries.empty() && (FEntries.size() >= MaxTexts || Held > MaxBytes)) {
        Held -= FEntries.front().Bytes;
        FEntries.erase(FEntries.begin());
    }
    FEntries.push_back({std::move(Key), Digest, Program, std::move(Items), Bytes, Seen});
}
