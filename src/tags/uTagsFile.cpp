#include "tags/uTagsFile.h"

#include "base/uStrings.h"
#include "base/uSystem.h"

#include <algorithm>
#include <unordered_map>

namespace {

// The line that starts at Pos, without its break, and where the next one
// starts.
std::string_view LineFrom(std::string_view Bytes, size_t Pos, size_t& Next) noexcept
{
    const size_t End = FindByte(Bytes, Pos, '\n');
    Next = End < Bytes.size() ? End + 1 : End;
    std::string_view Line = Bytes.substr(Pos, End - Pos);
    if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
    return Line;
}

// A line's name: the bytes before its first TAB.
std::string_view NameOfLine(std::string_view Line) noexcept
{
    return Line.substr(0, FindByte(Line, 0, '\t'));
}

unsigned char Folded(char C) noexcept
{
    const auto Byte = static_cast<unsigned char>(C);
    return Byte >= 'a' && Byte <= 'z' ? static_cast<unsigned char>(Byte - 'a' + 'A') : Byte;
}

// Names in the order ctags sorts its lines: bytes without sign (upper-cased
// in a foldcase file), the end of a name before every byte, since a TAB
// ends it and ctags escapes whatever sorts lower.
int CompareNames(std::string_view A, std::string_view B, bool Fold) noexcept
{
    const size_t Common = std::min(A.size(), B.size());
    for (size_t I = 0; I < Common; ++I) {
        const unsigned char X = Fold ? Folded(A[I]) : static_cast<unsigned char>(A[I]);
        const unsigned char Y = Fold ? Folded(B[I]) : static_cast<unsigned char>(B[I]);
        if (X != Y)
            return X < Y ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : A.size() < B.size() ? -1 : 1;
}

bool EqualNames(std::string_view A, std::string_view B, TTagCase Case) noexcept
{
    return Case == TTagCase::Sensitive ? A == B : CompareNames(A, B, true) == 0;
}

// The sorted lines of Bytes between Lo and Hi (both starts of lines, or Hi
// the end) searched by halves: the first line for which Before is false,
// Before being true for a run of lines and false after it.
template <class P>
size_t LowerBound(std::string_view Bytes, size_t Lo, size_t Hi, const P& Before)
{
    while (Lo < Hi) {
        size_t Start = Lo + (Hi - Lo) / 2;
        while (Start > Lo && Bytes[Start - 1] != '\n')
            --Start;
        size_t Next = 0;
        if (Before(LineFrom(Bytes, Start, Next)))
            Lo = Next;
        else
            Hi = Start;
    }
    return Lo;
}

// The byte of a name at Depth, -1 past its end.
int ByteAt(std::string_view Name, size_t Depth) noexcept
{
    return Depth < Name.size() ? static_cast<unsigned char>(Name[Depth]) : -1;
}

// The lines of [Lo, Hi), which share the first Depth bytes of their names
// with a spelling of Key in some case, whose names are Key in any case: a
// case-sensitive order keeps the spellings apart, each a run of its own
// that is found by halves, one letter deeper at a time.
void CollectCaseBlind(std::string_view Bytes, size_t Lo, size_t Hi, std::string_view Key, size_t Depth,
                      std::vector<std::uint64_t>& Offsets)
{
    if (Lo >= Hi)
        return;
    if (Depth == Key.size()) {
        // A name that ends here sorts before the longer ones.
        for (size_t Start = Lo; Start < Hi;) {
            size_t Next = 0;
            if (NameOfLine(LineFrom(Bytes, Start, Next)).size() != Depth)
                break;
            Offsets.push_back(Start);
            Start = Next;
        }
        return;
    }
    const auto Byte = static_cast<unsigned char>(Key[Depth]);
    const int Other = Byte >= 'a' && Byte <= 'z'   ? Byte - 'a' + 'A'
                      : Byte >= 'A' && Byte <= 'Z' ? Byte - 'A' + 'a'
                                                   : -1;
    for (const int Variant : {static_cast<int>(Byte), Other}) {
        if (Variant < 0)
            continue;
        const size_t First = LowerBound(Bytes, Lo, Hi, [&](std::string_view Line) {
            return ByteAt(NameOfLine(Line), Depth) < Variant;
        });
        const size_t Past = LowerBound(Bytes, First, Hi, [&](std::string_view Line) {
            return ByteAt(NameOfLine(Line), Depth) <= Variant;
        });
        CollectCaseBlind(Bytes, First, Past, Key, Depth + 1, Offsets);
    }
}

// The root of Folder, for a file name that starts at the root ("\src\a.c"
// or, from a tags file made elsewhere, "/src/a.c"): "C:", or "\\server\share".
std::wstring RootOf(const std::wstring& Folder)
{
    if (Folder.size() >= 2 && Folder[1] == L':')
        return Folder.substr(0, 2);
    if (Folder.rfind(L"\\\\", 0) == 0) {
        const size_t Server = Folder.find(L'\\', 2);
        const size_t Share = Server == std::wstring::npos ? Server : Folder.find(L'\\', Server + 1);
        return Folder.substr(0, Share);
    }
    return {};
}

} // namespace

std::wstring FindTagsFile(const std::wstring& SourceFile, std::wstring_view Names)
{
    for (size_t Start = 0; Start <= Names.size();) {
        size_t End = Names.find(L';', Start);
        if (End == std::wstring_view::npos)
            End = Names.size();
        const std::wstring Name = TrimText(Names.substr(Start, End - Start));
        Start = End + 1;
        if (Name.empty())
            continue;
        if (IsAbsolutePath(Name)) {
            if (FileExists(Name))
                return ExpandFileName(Name);
            continue;
        }
        for (std::wstring Folder = ExtractFileDir(ExpandFileName(SourceFile)); !Folder.empty();) {
            const std::wstring Candidate = ExpandFileName(Folder + L"\\" + Name);
            if (FileExists(Candidate))
                return Candidate;
            const std::wstring Parent = ExtractFileDir(Folder);
            if (Parent == Folder || Parent.size() >= Folder.size())
                break;
            Folder = Parent;
        }
    }
    return {};
}

TTagsFile::TTagsFile(const std::wstring& Path) : FPath(ExpandFileName(Path)), FFolder(ExtractFileDir(FPath))
{
    if (!FFile.Open(FPath)) {
        const DWORD Error = ::GetLastError();
        throw ETagsFileError(L"The tags file cannot be read: " + FPath, static_cast<int>(Error));
    }
    FFormat.ReadPseudoTags(FFile.Bytes());
}

std::vector<TTagsFileEntry> TTagsFile::FindTags(std::wstring_view Name) const
{
    std::vector<TTagsFileEntry> Found = FindTags(Name, TTagCase::Sensitive);
    if (Found.empty())
        Found = FindTags(Name, TTagCase::Blind);
    return Found;
}

std::vector<TTagsFileEntry> TTagsFile::FindTags(std::wstring_view Name, TTagCase Case) const
{
    const std::vector<std::string> Spellings = FFormat.Spellings(Name);
    // Universal Ctags escapes a name where its file is sorted; one written
    // as it is (by a writer that did not) is looked for too.
    std::vector<std::string> Keys;
    for (const std::string& Raw : Spellings) {
        if (FFormat.Escaped())
            Keys.push_back(EscapeTagName(Raw));
        if (!FFormat.Escaped() || Keys.back() != Raw)
            Keys.push_back(Raw);
    }
    std::vector<std::uint64_t> Offsets;
    for (const std::string& Key : Keys) {
        if (FFormat.Order() == TTagsFileOrder::Unsorted)
            FindUnsorted(Key, Offsets);
        else
            FindSorted(Key, Case, Offsets);
    }
    return EntriesNamed(Offsets, Spellings, Case);
}

void TTagsFile::FindSorted(std::string_view Key, TTagCase Case, std::vector<std::uint64_t>& Offsets) const
{
    const std::string_view Bytes = FFile.Bytes();
    const auto Begin = static_cast<size_t>(TagsBegin());
    if (FFormat.Order() == TTagsFileOrder::Sorted && Case == TTagCase::Blind) {
        CollectCaseBlind(Bytes, Begin, Bytes.size(), Key, 0, Offsets);
        return;
    }
    const bool Fold = FFormat.Order() == TTagsFileOrder::FoldCase;
    size_t Start = LowerBound(Bytes, Begin, Bytes.size(),
                              [&](std::string_view Line) { return CompareNames(NameOfLine(Line), Key, Fold) < 0; });
    while (Start < Bytes.size()) {
        size_t Next = 0;
        if (CompareNames(NameOfLine(LineFrom(Bytes, Start, Next)), Key, Fold) != 0)
            break;
        Offsets.push_back(Start);
        Start = Next;
    }
}

void TTagsFile::FindUnsorted(std::string_view Key, std::vector<std::uint64_t>& Offsets) const
{
    std::shared_ptr<const TTagsIndex> Index;
    {
        TCriticalSectionLock Lock(FIndexLock);
        if (!FIndex)
            FIndex = TTagsIndex::Of(FPath, Size(), LastWrite(), FFile.Bytes(), TagsBegin());
        Index = FIndex;
    }
    Index->AppendCandidates(Key, Offsets);
}

std::vector<TTagsFileEntry> TTagsFile::EntriesNamed(std::vector<std::uint64_t>& Offsets,
                                                    const std::vector<std::string>& Spellings, TTagCase Case) const
{
    std::sort(Offsets.begin(), Offsets.end());
    Offsets.erase(std::unique(Offsets.begin(), Offsets.end()), Offsets.end());
    std::vector<TTagsFileEntry> Entries;
    for (const std::uint64_t Offset : Offsets) {
        TTagsFileLine Parts;
        if (!SplitTagsFileLine(LineAt(Offset), Parts))
            continue;
        const std::string Written = FFormat.Unescaped(Parts.Name);
        if (std::none_of(Spellings.begin(), Spellings.end(),
                         [&](const std::string& Name) { return EqualNames(Written, Name, Case); }))
            continue;
        if (auto Entry = ReadEntry(Offset))
            Entries.push_back(std::move(*Entry));
    }
    return Entries;
}

bool TTagsFile::NextName(std::uint64_t& Pos, TNameRef& Ref) const noexcept
{
    const std::string_view Bytes = FFile.Bytes();
    while (Pos < Bytes.size()) {
        size_t Next = 0;
        const std::string_view Line = LineFrom(Bytes, static_cast<size_t>(Pos), Next);
        const size_t Tab = FindByte(Line, 0, '\t');
        const size_t FileEnd = Tab < Line.size() ? FindByte(Line, Tab + 1, '\t') : Tab;
        const bool Tag = Tab != 0 && FileEnd < Line.size() && FileEnd > Tab + 1 && Line.substr(0, 2) != "!_";
        const std::uint64_t Start = Pos;
        Pos = Next;
        if (Tag) {
            Ref = {Line.substr(0, Tab), Line.substr(Tab + 1, FileEnd - Tab - 1), Start};
            return true;
        }
    }
    return false;
}

std::string_view TTagsFile::LineAt(std::uint64_t Offset) const noexcept
{
    const std::string_view Bytes = FFile.Bytes();
    if (Offset >= Bytes.size())
        return {};
    size_t Next = 0;
    return LineFrom(Bytes, static_cast<size_t>(Offset), Next);
}

std::optional<TTagsFileEntry> TTagsFile::ReadEntry(std::uint64_t Offset) const
{
    TTagsFileLine Parts;
    if (!SplitTagsFileLine(LineAt(Offset), Parts))
        return std::nullopt;
    TTagsFileEntry Entry;
    Entry.Name = FFormat.NameOf(Parts);
    Entry.File = ResolveFile(Parts.File);
    Entry.Line = FFormat.LineOf(Parts);
    Entry.Pattern = FFormat.PatternOf(Parts);
    Entry.Kind = FFormat.KindOf(Parts);
    Entry.Scope = FFormat.ScopeOf(Parts);
    Entry.Offset = Offset;
    return Entry;
}

std::vector<TTagsFileEntry> TTagsFile::FindTagsOfFile(const std::wstring& FileName) const
{
    const std::wstring Full = ExpandFileName(FileName);
    const std::wstring Wanted = UpperCaseText(Full);
    // Only a field that ends in the file's name can name it: the rest are
    // passed over without a look at their path. (ASCII names only: the
    // system's names are without case beyond ASCII too.)
    const std::wstring BaseName = Full.substr(Full.find_last_of(L'\\') + 1);
    const bool Ascii = std::all_of(BaseName.begin(), BaseName.end(), [](wchar_t C) { return C < 0x80; });
    const std::string Base = Ascii ? FFormat.Encode(BaseName) : std::string();
    const auto MayName = [&](std::string_view Field) {
        if (Base.empty())
            return true;
        if (Field.size() < Base.size() || CompareNames(Field.substr(Field.size() - Base.size()), Base, true) != 0)
            return false;
        const size_t Before = Field.size() - Base.size();
        return Before == 0 || Field[Before - 1] == '/' || Field[Before - 1] == '\\';
    };
    // Each spelling of a file is resolved once: a project has thousands of
    // files and millions of tags.
    std::unordered_map<std::string_view, bool> Known;
    std::string_view LastField;
    bool LastMatch = false;
    std::vector<TTagsFileEntry> Entries;
    std::uint64_t Pos = TagsBegin();
    TNameRef Ref;
    while (NextName(Pos, Ref)) {
        const std::string_view Field = Ref.File;
        if (Field != LastField) {
            LastField = Field;
            LastMatch = false;
            if (!MayName(Field))
                continue;
            const auto Found = Known.find(Field);
            if (Found != Known.end()) {
                LastMatch = Found->second;
            } else {
                LastMatch = UpperCaseText(ResolveFile(Field)) == Wanted;
                Known.emplace(Field, LastMatch);
            }
        }
        if (LastMatch)
            if (auto Entry = ReadEntry(Ref.Offset))
                Entries.push_back(std::move(*Entry));
    }
    return Entries;
}

std::wstring TTagsFile::ResolveFile(std::string_view Field) const
{
    std::wstring Name = FFormat.Decode(FFormat.Unescaped(Field));
    std::replace(Name.begin(), Name.end(), L'/', L'\\');
    if (Name.empty())
        return Name;
    const bool Drive = Name.size() >= 2 && Name[1] == L':';
    if (Drive || Name.rfind(L"\\\\", 0) == 0)
        return ExpandFileName(Name);
    if (Name[0] == L'\\')
        return ExpandFileName(RootOf(FFolder) + Name);
    return ExpandFileName(FFolder + L"\\" + Name);
}
