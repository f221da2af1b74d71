#include "tags/uProjectIndex.h"

#include "base/Handle.h"
#include "base/uStrings.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

// A source file's field as a number: a hash of its bytes as written, eight
// at a time. Two files with one number are all but unheard of, and what the
// number decides (leaving the edited file's stale entries out) is checked
// again on the rows shown.
std::uint32_t FileHash(std::string_view Field) noexcept
{
    std::uint64_t Hash = 0x9E3779B97F4A7C15ull ^ Field.size();
    size_t I = 0;
    for (; I + 8 <= Field.size(); I += 8) {
        std::uint64_t Word;
        std::memcpy(&Word, Field.data() + I, 8);
        Hash = (Hash ^ Word) * 0xFF51AFD7ED558CCDull;
        Hash ^= Hash >> 32;
    }
    std::uint64_t Tail = 0;
    std::memcpy(&Tail, Field.data() + I, Field.size() - I);
    Hash = (Hash ^ Tail) * 0xC4CEB9FE1A85EC53ull;
    Hash ^= Hash >> 29;
    const auto Result = static_cast<std::uint32_t>(Hash ^ (Hash >> 32));
    return Result == TProjectIndex::NoFile ? 0 : Result;
}

// What a part's lines are read from: the file itself through a handle of
// its own when it is still the one mapped (reading into a buffer that stays
// in the cache is quicker than touching every mapped page), else the
// mapping.
class TPartReader {
public:
    TPartReader(const TTagsFile& File) : FBytes(File.Bytes())
    {
        TFileHandle Handle(::CreateFileW(File.Path().c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER Size{};
        FILETIME Written{};
        if (Handle && ::GetFileSizeEx(Handle.get(), &Size) && ::GetFileTime(Handle.get(), nullptr, nullptr, &Written) &&
            static_cast<std::uint64_t>(Size.QuadPart) == File.Size() &&
            ::CompareFileTime(&Written, &File.LastWrite()) == 0)
            FHandle = std::move(Handle);
    }

    // Up to Length bytes from Offset into Buffer; how many.
    size_t Read(std::uint64_t Offset, char* Buffer, size_t Length)
    {
        if (Offset >= FBytes.size())
            return 0;
        Length = static_cast<size_t>(std::min<std::uint64_t>(Length, FBytes.size() - Offset));
        if (FHandle) {
            OVERLAPPED At{};
            At.Offset = static_cast<DWORD>(Offset);
            At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
            DWORD Done = 0;
            if (::ReadFile(FHandle.get(), Buffer, static_cast<DWORD>(Length), &Done, &At) && Done == Length)
                return Length;
            FHandle.reset();
        }
        std::memcpy(Buffer, FBytes.data() + Offset, Length);
        return Length;
    }

private:
    std::string_view FBytes;
    TFileHandle FHandle;
};

} // namespace

void TProjectIndex::ReadPart(const TTagsFile& File, std::uint64_t Begin, std::uint64_t End, TPart& Part)
{
    // About 15 bytes of name and 140 of line per tag: room for that many.
    const size_t Guess = static_cast<size_t>((End - Begin) / 140 + 16);
    Part.Offsets.reserve(Guess);
    Part.Files.reserve(Guess);
    Part.NameStarts.reserve(Guess + 1);
    Part.Names.reserve(Guess * 16);
    TPartReader Reader(File);
    std::vector<char> Buffer(1 << 20);
    size_t Held = 0; // bytes of an unfinished line kept at the buffer's start
    std::uint64_t Pos = Begin;
    while (Pos + Held < End) {
        if (Held == Buffer.size())
            Buffer.resize(Buffer.size() * 2); // a line longer than the buffer
        const size_t Got = Reader.Read(
            Pos + Held, Buffer.data() + Held,
            static_cast<size_t>(std::min<std::uint64_t>(Buffer.size() - Held, End - Pos - Held)));
        if (Got == 0)
            break;
        const size_t Length = Held + Got;
        const bool Last = Pos + Length >= End;
        const std::string_view Bytes(Buffer.data(), Length);
        size_t At = 0;
        for (;;) {
            const size_t Break = FindByte(Bytes, At, '\n');
            if (Break >= Length && (!Last || At == Length))
                break;
            const std::string_view Line = Bytes.substr(At, Break - At);
            const size_t Tab = FindByte(Line, 0, '\t');
            const size_t FileEnd = Tab < Line.size() ? FindByte(Line, Tab + 1, '\t') : Tab;
            if (Tab != 0 && FileEnd < Line.size() && FileEnd > Tab + 1 && Line.substr(0, 2) != "!_") {
                const size_t Start = Part.Names.size();
                Part.NameStarts.push_back(static_cast<std::uint32_t>(Start));
                Part.Names.resize(Start + Tab + 1);
                char* Out = Part.Names.data() + Start;
                for (size_t I = 0; I < Tab; ++I) {
                    const auto C = static_cast<unsigned char>(Line[I]);
                    Out[I] = static_cast<char>(C - (static_cast<unsigned>(C - 'a') < 26u ? 32 : 0));
                }
                Out[Tab] = '\0';
                Part.Offsets.push_back(Pos + At);
                Part.Files.push_back(FileHash(Line.substr(Tab + 1, FileEnd - Tab - 1)));
            }
            At = Break >= Length ? Length : Break + 1;
        }
        Pos += At;
        Held = Length - At;
        std::memmove(Buffer.data(), Buffer.data() + At, Held);
    }
    if (Part.Names.size() > UINT32_MAX)
        throw EArgumentOutOfRangeException(L"Too many names in the tags file");
    Part.NameStarts.push_back(static_cast<std::uint32_t>(Part.Names.size()));
}

namespace {

// Where the first line after Pos starts.
std::uint64_t LineStartAfter(std::string_view Bytes, std::uint64_t Pos)
{
    const size_t Break = FindByte(Bytes, static_cast<size_t>(Pos), '\n');
    return Break >= Bytes.size() ? Bytes.size() : Break + 1;
}

struct TCache {
    std::mutex Lock;
    std::wstring Path;
    std::uint64_t Size = 0;
    FILETIME Written{};
    std::shared_ptr<const TProjectIndex> Index;
};

TCache& Cache()
{
    static TCache Instance;
    return Instance;
}

} // namespace

std::shared_ptr<const TProjectIndex> TProjectIndex::Of(const TTagsFile& File)
{
    TCache& Kept = Cache();
    {
        const std::lock_guard Guard(Kept.Lock);
        if (Kept.Index && Kept.Path == File.Path() && Kept.Size == File.Size() &&
            ::CompareFileTime(&Kept.Written, &File.LastWrite()) == 0)
            return Kept.Index;
    }
    auto Index = std::make_shared<const TProjectIndex>(File);
    const std::lock_guard Guard(Kept.Lock);
    // One at a time: a project's index can take hundreds of megabytes.
    Kept.Index = Index;
    Kept.Path = File.Path();
    Kept.Size = File.Size();
    Kept.Written = File.LastWrite();
    return Index;
}

TProjectIndex::TProjectIndex(const TTagsFile& File)
{
    // Two halves on two threads: reading the names is as quick as reading
    // the file, and there are two cores.
    const std::string_view Bytes = File.Bytes();
    const std::uint64_t Begin = File.TagsBegin();
    const std::uint64_t Middle = Bytes.size() > Begin + (1 << 20)
                                     ? LineStartAfter(Bytes, Begin + (Bytes.size() - Begin) / 2)
                                     : Bytes.size();
    std::exception_ptr Failure;
    std::thread Helper;
    if (Middle < Bytes.size()) {
        Helper = std::thread([&] {
            try {
                ReadPart(File, Middle, Bytes.size(), FParts[1]);
            } catch (...) {
                Failure = std::current_exception();
            }
        });
    }
    const auto Join = ScopeExit([&] {
        if (Helper.joinable())
            Helper.join();
    });
    ReadPart(File, Begin, Middle, FParts[0]);
    if (Helper.joinable())
        Helper.join();
    if (Failure)
        std::rethrow_exception(Failure);
    FSplit = FParts[0].Offsets.size();
    if (FParts[1].NameStarts.empty())
        FParts[1].NameStarts.push_back(0);
}

size_t TProjectIndex::MemoryBytes() const noexcept
{
    size_t Bytes = FKinds ? FKinds->Of.capacity() * 2 : 0;
    for (const TPart& Part : FParts)
        Bytes += Part.Names.capacity() + Part.NameStarts.capacity() * 4 + Part.Offsets.capacity() * 8 +
                 Part.Files.capacity() * 4;
    return Bytes;
}

std::uint32_t TProjectIndex::FileNumber(const TTagsFile& File, const std::wstring& FileName) const
{
    // As ctags writes it: relative to the tags file's folder with either
    // slash, or the full path; escaped where the file escapes.
    const std::wstring Folder = File.Folder() + L"\\";
    std::vector<std::wstring> Spellings = {FileName};
    if (FileName.size() > Folder.size() && UpperCaseText(FileName.substr(0, Folder.size())) == UpperCaseText(Folder)) {
        std::wstring Relative = FileName.substr(Folder.size());
        Spellings.push_back(Relative);
        std::replace(Relative.begin(), Relative.end(), L'\\', L'/');
        Spellings.push_back(Relative);
        Spellings.push_back(L"./" + Relative);
    }
    std::vector<std::uint32_t> Wanted;
    for (const std::wstring& Spelling : Spellings) {
        const std::string Bytes = File.Format().Encode(Spelling);
        Wanted.push_back(FileHash(Bytes));
        if (File.Format().Escaped() && Bytes.find('\\') != std::string::npos) {
            std::string Escaped;
            for (const char C : Bytes)
                Escaped += C == '\\' ? std::string("\\\\") : std::string(1, C);
            Wanted.push_back(FileHash(Escaped));
        }
    }
    for (const TPart& Part : FParts)
        for (const std::uint32_t Hash : Part.Files)
            if (std::find(Wanted.begin(), Wanted.end(), Hash) != Wanted.end())
                return Hash;
    return NoFile;
}

namespace {

// The rank of a match as the upper-cased name tells it; the lesser is the
// better. Kinds in the top byte, the penalty of a scattered match below.
enum : std::uint32_t {
    WholeName = 0,
    NameStart = 1u << 24,
    WordStart = 2u << 24,
    Inside = 3u << 24,
    Scattered = 4u << 24
};

bool IsWordBreak(char C) noexcept
{
    return C == '_' || C == ':' || C == '.' || C == '-';
}

// Where Text occurs in Name first, or nullptr: the first byte by memchr,
// the rest compared where it is.
const char* Occurrence(const char* Name, size_t Length, std::string_view Text) noexcept
{
    if (Length < Text.size())
        return nullptr;
    const char* End = Name + Length - Text.size() + 1;
    for (const char* At = Name; At < End; ++At) {
        At = static_cast<const char*>(std::memchr(At, Text.front(), static_cast<size_t>(End - At)));
        if (!At)
            return nullptr;
        if (std::memcmp(At, Text.data(), Text.size()) == 0)
            return At;
    }
    return nullptr;
}

// Text's bytes in Name in order, each as early as it can be: UINT32_MAX
// when they are not, else 3 per gap and 1 per byte skipped.
std::uint32_t ScatteredPenalty(const char* Name, size_t Length, std::string_view Text) noexcept
{
    const char* At = Name;
    const char* End = Name + Length;
    std::uint32_t Penalty = 0;
    for (size_t J = 0; J < Text.size(); ++J) {
        const char* Found = static_cast<const char*>(std::memchr(At, Text[J], static_cast<size_t>(End - At)));
        if (!Found)
            return UINT32_MAX;
        if (J > 0 && Found != At)
            Penalty += 3 + static_cast<std::uint32_t>(Found - At);
        At = Found + 1;
    }
    return std::min<std::uint32_t>(Penalty, (1u << 24) - 1);
}

} // namespace

TProjectIndex::TFound TProjectIndex::Find(const TQuery& Query) const
{
    TFound Found;
    const std::string_view Text = Query.UpperText;
    // The best so far, the worst of them on top.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Best;
    Best.reserve(Query.BestCount + 1);
    const auto Offer = [&](std::uint32_t Key, std::uint32_t Tag) {
        if (Best.size() == Query.BestCount && (Query.BestCount == 0 || Key >= Best.front().first))
            return;
        Best.emplace_back(Key, Tag);
        std::push_heap(Best.begin(), Best.end());
        if (Best.size() > Query.BestCount) {
            std::pop_heap(Best.begin(), Best.end());
            Best.pop_back();
        }
    };
    for (size_t Half = 0; Half < 2; ++Half) {
        const TPart& Part = FParts[Half];
        const size_t Base = Half == 0 ? 0 : FSplit;
        const size_t Count = Part.Offsets.size();
        const char* Names = Part.Names.data();
        const std::uint32_t* Starts = Part.NameStarts.data();
        for (size_t I = 0; I < Count; ++I) {
            if (Part.Files[I] == Query.Excluded || (Query.Kinds && (*Query.Kinds)[Base + I] != Query.Kind))
                continue;
            std::uint32_t Key = Inside;
            if (!Text.empty()) {
                const char* Name = Names + Starts[I];
                const size_t Length = Starts[I + 1] - Starts[I] - 1;
                if (const char* At = Occurrence(Name, Length, Text)) {
                    Key = At != Name              ? (IsWordBreak(At[-1]) ? WordStart : Inside)
                          : Length == Text.size() ? WholeName
                                                  : NameStart;
                } else {
                    const std::uint32_t Penalty = Query.Fuzzy ? ScatteredPenalty(Name, Length, Text) : UINT32_MAX;
                    if (Penalty == UINT32_MAX)
                        continue;
                    Key = Scattered + Penalty;
                }
            }
            const auto Tag = static_cast<std::uint32_t>(Base + I);
            ++Found.Count;
            if (Found.First.size() < Query.Cap)
                Found.First.push_back(Tag);
            Offer(Key, Tag);
        }
    }
    std::sort_heap(Best.begin(), Best.end());
    for (const auto& [Key, Tag] : Best)
        Found.Best.push_back(Tag);
    return Found;
}

const TProjectIndex::TKinds& TProjectIndex::Kinds(const TTagsFile& File) const
{
    if (FKinds)
        return *FKinds;
    auto Kinds = std::make_unique<TKinds>();
    Kinds->Of.reserve(Count());
    std::unordered_map<std::wstring, std::uint16_t> Numbers;
    for (size_t I = 0; I < Count(); ++I) {
        TTagsFileLine Parts;
        std::wstring Kind;
        if (SplitTagsFileLine(File.LineAt(Offset(I)), Parts))
            Kind = File.Format().KindOf(Parts);
        const auto [Found, Added] = Numbers.try_emplace(Kind, static_cast<std::uint16_t>(Kinds->Names.size()));
        if (Added && Kinds->Names.size() < UINT16_MAX)
            Kinds->Names.push_back(Kind);
        Kinds->Of.push_back(Found->second);
    }
    FKinds = std::move(Kinds);
    return *FKinds;
}
