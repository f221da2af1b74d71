#include "tags/uCtags.h"

#include "base/Handle.h"
#include "tags/uLocaleOrder.h"
#include "base/uStrings.h"
#include "base/uProcess.h"

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

// Extension fields that ctags may write and that are not a scope. Any other
// "key:value" is the scope, as ctags writes it for --fields=s: the kind of
// the enclosing tag, then its name ("class:geo::Circle").
bool IsScopeKey(std::wstring_view Key)
{
    static constexpr std::wstring_view Others[] = {
        L"access",   L"captures",   L"end",   L"epoch",     L"extras",   L"file",   L"implementation",
        L"inherits", L"input",      L"kind",  L"language",  L"line",     L"name",   L"nth",
        L"pattern",  L"properties", L"roles", L"signature", L"template", L"typeref"};
    return !Key.empty() && std::find(std::begin(Others), std::end(Others), Key) == std::end(Others);
}

// The scope among the extension fields from Cursor on: the first one that
// names one. "scope:class:Circle" is the spelling with --fields=Z.
std::wstring_view ScopeField(std::wstring_view Text, size_t Cursor)
{
    std::wstring_view Field;
    while (NextField(Text, Cursor, Field)) {
        const size_t Colon = Field.find(L':');
        if (Colon == std::wstring_view::npos || Colon + 1 == Field.size())
            continue;
        std::wstring_view Key = Field.substr(0, Colon);
        std::wstring_view Value = Field.substr(Colon + 1);
        if (Key == L"scope") {
            const size_t Inner = Value.find(L':');
            if (Inner == std::wstring_view::npos || Inner + 1 == Value.size())
                continue;
            Key = Value.substr(0, Inner);
            Value = Value.substr(Inner + 1);
        }
        if (IsScopeKey(Key))
            return Value;
    }
    return {};
}

// The fields of one tag line, or false when it breaks the format.
bool ParseFields(std::wstring_view Text, TCtags::TTagRef& Ref)
{
    if (Text.empty())
        return false;
    size_t Cursor = 0;
    std::wstring_view Name, File, Address, Kind;
    if (!NextField(Text, Cursor, Name) || !NextField(Text, Cursor, File) || !NextField(Text, Cursor, Address) ||
        !NextField(Text, Cursor, Kind))
        return false;
    if (Name.empty() || Kind.empty())
        return false;
    if (Address.size() <= 2 || Address.substr(Address.size() - 2) != L";\"")
        return false;
    std::int32_t Line;
    if (!TryStrToInt32(Address.substr(0, Address.size() - 2), Line) || Line < 0)
        return false;
    Ref = {Name, Kind, Line, ScopeField(Text, Cursor)};
    return true;
}

// Scopes of tags of one name, as the user's locale orders them; a tag at file
// level comes first. Same-named tags are few, so the system's comparison
// serves.
int CompareScopes(std::wstring_view A, std::wstring_view B)
{
    if (A == B)
        return 0;
    if (A.empty() || B.empty())
        return A.empty() ? -1 : 1;
    return CompareTextLocale(A, B);
}

// The steps of TCtags::SortTagRefs.

using TTagRefs = std::vector<TCtags::TTagRef>;

// The first 16 weights, the first one highest, decide most comparisons
// without a look at the name.
constexpr size_t HeadLength = 16;

// A name the locale's table covers, by its position in the refs.
struct TFastRef {
    std::uint64_t Head[2];
    std::int32_t Line;
    std::uint32_t Index;
};

// The names Table covers, with their heads, and the positions of the rest.
void SplitByTable(const TTagRefs& Refs, const TLocaleOrder& Table, std::vector<TFastRef>& Fast,
                  std::vector<std::uint32_t>& Slow)
{
    Fast.reserve(Refs.size());
    for (std::uint32_t I = 0; I < Refs.size(); ++I) {
        const std::wstring_view Name = Refs[I].Name;
        if (!Table.Covers(Name)) {
            Slow.push_back(I);
            continue;
        }
        // Weights start at 1, so the zeros after a short name put it before
        // every longer name it begins.
        TFastRef Entry{{0, 0}, Refs[I].Line, I};
        for (size_t C = 0; C < HeadLength; ++C)
            Entry.Head[C / 8] = Entry.Head[C / 8] << 8 | (C < Name.size() ? Table.Weight(Name[C]) : 0);
        Fast.push_back(Entry);
    }
}

// The covered names by their weights, then by line, then by position.
void SortFast(std::vector<TFastRef>& Fast, const TTagRefs& Refs, const TLocaleOrder& Table)
{
    std::sort(Fast.begin(), Fast.end(), [&](const TFastRef& A, const TFastRef& B) {
        if (A.Head[0] != B.Head[0])
            return A.Head[0] < B.Head[0];
        if (A.Head[1] != B.Head[1])
            return A.Head[1] < B.Head[1];
        const std::wstring_view NameA = Refs[A.Index].Name;
        const std::wstring_view NameB = Refs[B.Index].Name;
        if (NameA.size() > HeadLength || NameB.size() > HeadLength) {
            const size_t Common = std::min(NameA.size(), NameB.size());
            for (size_t C = HeadLength; C < Common; ++C) {
                const std::uint8_t WeightA = Table.Weight(NameA[C]);
                const std::uint8_t WeightB = Table.Weight(NameB[C]);
                if (WeightA != WeightB)
                    return WeightA < WeightB;
            }
            if (NameA.size() != NameB.size())
                return NameA.size() < NameB.size();
        }
        if (const int Scopes = CompareScopes(Refs[A.Index].Scope, Refs[B.Index].Scope))
            return Scopes < 0;
        if (A.Line != B.Line)
            return A.Line < B.Line;
        return A.Index < B.Index;
    });
}

// The positions of all refs in order: the sorted covered names, with the
// others sorted by the locale's sort keys and merged in.
std::vector<std::uint32_t> MergeSlow(const TTagRefs& Refs, const std::vector<TFastRef>& Fast,
                                     std::vector<std::uint32_t>& Slow)
{
    std::vector<std::uint32_t> Sorted;
    Sorted.reserve(Refs.size());
    if (Slow.empty()) {
        for (const TFastRef& Entry : Fast)
            Sorted.push_back(Entry.Index);
        return Sorted;
    }
    std::vector<std::string> Keys(Refs.size());
    std::vector<bool> Keyed(Refs.size());
    const auto Key = [&](std::uint32_t I) -> const std::string& {
        if (!Keyed[I]) {
            Keys[I] = SortKeyLocale(Refs[I].Name);
            Keyed[I] = true;
        }
        return Keys[I];
    };
    const auto Less = [&](std::uint32_t A, std::uint32_t B) {
        const int Compared = Key(A).compare(Key(B));
        if (Compared != 0)
            return Compared < 0;
        if (const int Scopes = CompareScopes(Refs[A].Scope, Refs[B].Scope))
            return Scopes < 0;
        if (Refs[A].Line != Refs[B].Line)
            return Refs[A].Line < Refs[B].Line;
        return A < B;
    };
    for (const std::uint32_t I : Slow)
        Key(I);
    std::sort(Slow.begin(), Slow.end(), Less);
    // Each slow name goes after the fast names before it, found by
    // galloping from where the last one went: few slow names cost few keys
    // of fast names, and many cost about what a plain merge costs.
    size_t Next = 0;
    for (const std::uint32_t S : Slow) {
        const auto Before = [&](size_t P) { return Less(S, Fast[P].Index); };
        size_t Low = Next;
        size_t High = Next;
        for (size_t Step = 1; High < Fast.size() && !Before(High); Step *= 2) {
            Low = High + 1;
            High += Step;
        }
        High = std::min(High, Fast.size());
        while (Low < High) {
            const size_t Middle = Low + (High - Low) / 2;
            if (Before(Middle))
                High = Middle;
            else
                Low = Middle + 1;
        }
        for (; Next < Low; ++Next)
            Sorted.push_back(Fast[Next].Index);
        Sorted.push_back(S);
    }
    for (; Next < Fast.size(); ++Next)
        Sorted.push_back(Fast[Next].Index);
    return Sorted;
}

} // namespace

std::unique_ptr<TCtagsItem> TCtags::ParseTagLine(std::wstring_view Text)
{
    TTagRef Ref;
    if (!ParseFields(Text, Ref))
        return nullptr;
    return std::make_unique<TCtagsItem>(std::wstring(Ref.Name), std::wstring(Ref.Kind), Ref.Line,
                                        std::wstring(Ref.Scope));
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
    int Order = CompareTextLocale(A.Name, B.Name);
    if (Order == 0)
        Order = CompareScopes(A.Scope, B.Scope);
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
    // Only the path found is started: a bare name left to the system's own
    // search would run a ctags.exe from the current directory first.
    const std::wstring ExePath = FindProgram(FExecutableName);
    if (ExePath.empty())
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + FExecutableName);
    const std::wstring SavedDir = GetCurrentDir();
    const std::wstring WorkDir = ExtractFileDir(ExePath);
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
        SetCurrentDir(WorkDir);
        // The bytes, not lines: the tags are parsed in place from one
        // decoded text. The empty input ends at once, so ctags never waits
        // on a console.
        Started = RunProcess(CommandLine, &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, {}, {}, 0,
                             OnTurn);
    }
    if (!Started)
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + FExecutableName);
    if (ExitCode != 0) {
        std::wstring Text;
        for (const std::wstring& Line : SplitTextLines(DecodeText(BytesOf(Errors))))
            Text += Line + L"\r\n";
        throw ECtagsError_ExecutionFailed(static_cast<std::int32_t>(ExitCode), TrimText(Text));
    }
    try {
        LoadFromOutput(BytesOf(Output));
    } catch (const EStringError& E) {
        throw ECtagsError(E.Message());
    }
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
        Item.Scope.assign(Ref.Scope);
    }
}

void TCtags::SortTagRefs(std::vector<TTagRef>& Refs)
{
    // A system call per name made the sort the most expensive step of a
    // load. Names the locale orders by one weight per character (nearly all
    // identifiers) are sorted by the table of those weights; the rest by
    // the locale's sort keys; and the two runs are merged with sort keys,
    // asked for only for the names the merge looks at. The position in Refs
    // breaks the last ties, which makes the order total: std::sort then
    // gives the one result a stable sort by ItemLess gives.
    const auto Order = TLocaleOrder::Current();
    if (Refs.size() > UINT32_MAX)
        throw EArgumentOutOfRangeException(L"Too many tags");
    std::vector<TFastRef> Fast;
    std::vector<std::uint32_t> Slow;
    SplitByTable(Refs, *Order, Fast, Slow);
    SortFast(Fast, Refs, *Order);
    std::vector<TTagRef> Result;
    Result.reserve(Refs.size());
    for (const std::uint32_t I : MergeSlow(Refs, Fast, Slow))
        Result.push_back(Refs[I]);
    Refs = std::move(Result);
}
