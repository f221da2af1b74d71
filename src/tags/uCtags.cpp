#include "uCtags.h"

#include "Handle.h"
#include "uStrings.h"
#include "uSystem.h"

#include <algorithm>

namespace {

std::string_view BytesOf(const TMemoryStream& Stream)
{
    const auto& Bytes = Stream.Bytes();
    return std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size());
}

// Takes the field at Cursor (up to the next TAB or the end, possibly empty)
// and moves past it and its TAB; fails only at the end of the line.
bool NextField(std::wstring_view Text, size_t& Cursor, std::wstring_view& Field)
{
    if (Cursor >= Text.size())
        return false;
    const size_t End = FindEither(Text, Cursor, L'\t', L'\t');
    Field = Text.substr(Cursor, End - Cursor);
    Cursor = End == Text.size() ? End : End + 1;
    return true;
}

// The fields of one tag line, or false when it breaks the format.
bool ParseFields(std::wstring_view Text, TCtags::TTagRef& Ref)
{
    if (Text.empty())
        return false;
    size_t Cursor = 0;
    std::wstring_view Name, File, Address, Kind, Extra;
    if (!NextField(Text, Cursor, Name) || !NextField(Text, Cursor, File) || !NextField(Text, Cursor, Address) ||
        !NextField(Text, Cursor, Kind) || NextField(Text, Cursor, Extra))
        return false;
    if (Name.empty() || Kind.empty())
        return false;
    if (Address.size() <= 2 || Address.substr(Address.size() - 2) != L";\"")
        return false;
    std::int32_t Line;
    if (!TryStrToInt32(Address.substr(0, Address.size() - 2), Line) || Line < 0)
        return false;
    Ref = {Name, Kind, Line};
    return true;
}

} // namespace

std::unique_ptr<TCtagsItem> TCtags::ParseTagLine(std::wstring_view Text)
{
    TTagRef Ref;
    if (!ParseFields(Text, Ref))
        return nullptr;
    return std::make_unique<TCtagsItem>(std::wstring(Ref.Name), std::wstring(Ref.Kind), Ref.Line);
}

std::vector<TCtags::TTagRef> TCtags::ParseTagLines(std::wstring_view Text)
{
    std::vector<TTagRef> Refs;
    size_t Pos = 0;
    std::wstring_view Line;
    TTagRef Ref;
    while (NextTextLine(Text, Pos, Line))
        if (ParseFields(Line, Ref))
            Refs.push_back(Ref);
    return Refs;
}

bool TCtags::ItemLess(const TCtagsItem& A, const TCtagsItem& B)
{
    const int Order = CompareTextLocale(A.Name, B.Name);
    return Order != 0 ? Order < 0 : A.Line < B.Line;
}

TCtagsItem* TCtags::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException(L"Argument out of range");
    return &FItems[static_cast<size_t>(Index)];
}

void TCtags::LoadFromFile(const std::wstring& FileName)
{
    TMemoryStream Input;
    TMemoryStream Output;
    TMemoryStream Errors;
    std::wstring ExePath = ExpandFileName(FExecutableName);
    std::wstring SavedDir;
    std::wstring WorkDir;
    if (FileExists(ExePath)) {
        SavedDir = GetCurrentDir();
        WorkDir = ExtractFileDir(ExePath);
    } else {
        // Left to the system's search when the child is started.
        ExePath = FExecutableName;
    }
    // Expanded before the directory changes, so that a relative name keeps
    // meaning the caller's current directory.
    const std::wstring CommandLine = QuotedStr(ExePath) + std::wstring(Arguments) + QuotedStr(ExpandFileName(FileName));

    std::uint32_t ExitCode = 0;
    bool Started;
    {
        const auto Restore = ScopeExit([&] {
            if (!SavedDir.empty())
                SetCurrentDir(SavedDir);
        });
        if (!WorkDir.empty())
            SetCurrentDir(WorkDir);
        // The bytes, not lines: the tags are parsed in place from one
        // decoded text. The empty input ends at once, so ctags never waits
        // on a console.
        Started = RunProcess(CommandLine, &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS);
    }
    if (!Started)
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + FExecutableName);
    if (ExitCode != 0) {
        std::wstring Text;
        for (const std::wstring& Line : SplitTextLines(DecodeText(BytesOf(Errors))))
            Text += Line + L"\r\n";
        throw ECtagsError_ExecutionFailed(static_cast<std::int32_t>(ExitCode), TrimText(Text));
    }
    LoadFromOutput(BytesOf(Output));
}

void TCtags::LoadFromOutput(std::string_view Bytes)
{
    const std::wstring Text = DecodeText(Bytes);
    std::vector<TTagRef> Refs = ParseTagLines(Text);
    SortTagRefs(Refs);
    // The old items go first, so that the new ones take over their memory
    // instead of the heap growing for them.
    FItems.clear();
    FItems.reserve(Refs.size());
    for (const TTagRef& Ref : Refs) {
        TCtagsItem& Item = FItems.emplace_back(std::wstring(), std::wstring(), Ref.Line);
        Item.Name.assign(Ref.Name);
        Item.Kind.assign(Ref.Kind);
    }
}

void TCtags::SortTagRefs(std::vector<TTagRef>& Refs)
{
    // The order of ItemLess, with one system call per name for its sort key
    // instead of one per comparison: that made 100,000 tags take a second.
    // The position in Refs breaks the last ties, which makes the order
    // total: std::sort then gives the one result a stable sort gives.
    const size_t Count = Refs.size();
    if (Count > UINT32_MAX)
        throw EArgumentOutOfRangeException(L"Too many tags");
    std::vector<std::string> Keys;
    Keys.reserve(Count);
    std::vector<std::uint32_t> Sorted(Count);
    for (std::uint32_t I = 0; I < Count; ++I) {
        Keys.push_back(SortKeyLocale(Refs[I].Name));
        Sorted[I] = I;
    }
    std::sort(Sorted.begin(), Sorted.end(), [&](std::uint32_t A, std::uint32_t B) {
        const int Compared = Keys[A].compare(Keys[B]);
        if (Compared != 0)
            return Compared < 0;
        if (Refs[A].Line != Refs[B].Line)
            return Refs[A].Line < Refs[B].Line;
        return A < B;
    });
    std::vector<TTagRef> Result;
    Result.reserve(Count);
    for (const std::uint32_t I : Sorted)
        Result.push_back(Refs[I]);
    Refs = std::move(Result);
}
