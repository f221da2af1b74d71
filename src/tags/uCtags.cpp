#include "tags/uCtags.h"

#include "base/Handle.h"
#include "tags/uLocaleOrder.h"
#include "tags/uTagFields.h"
#include "base/uStrings.h"
#include "base/uProcess.h"

#include <algorithm>
#include <map>

namespace {

// The field as the source spells it: undone in place where the flavour
// escapes.
std::wstring_view Unescaped(std::wstring_view Field, TCtagsFlavour Flavour) noexcept
{
    if (Flavour != TCtagsFlavour::Universal || Field.find(L'\\') == std::wstring_view::npos)
        return Field;
    auto* Begin = const_cast<wchar_t*>(Field.data());
    return std::wstring_view(Begin, UnescapeInPlace(Begin, Field.size()));
}

// Universal Ctags is asked to mark the scope ("scope:KIND:NAME"), so nothing
// a language adds (nameref, mixin, package...) is taken for it. Exuberant
// Ctags, asked for the kind and the scope only, writes the scope as
// "KIND:NAME".
TTagScopeRule ScopeRuleOf(TCtagsFlavour Flavour) noexcept
{
    if (Flavour == TCtagsFlavour::Universal)
        return {true, nullptr};
    return {false, &TTagFieldNames::Exuberant()};
}

// The fields of one tag line, or false when it breaks the format. Text must
// be writable: escapes are undone in place.
bool ParseFields(std::wstring_view Text, TCtagsFlavour Flavour, TCtags::TTagRef& Ref)
{
    if (Text.empty())
        return false;
    size_t Cursor = 0;
    std::wstring_view Name, File, Address, Kind;
    if (!NextTagField(Text, Cursor, Name) || !NextTagField(Text, Cursor, File) ||
        !NextTagField(Text, Cursor, Address) || !NextTagField(Text, Cursor, Kind))
        return false;
    if (Name.empty() || Kind.empty())
        return false;
    if (Address.size() <= 2 || Address.substr(Address.size() - 2) != L";\"")
        return false;
    std::int32_t Line;
    if (!TryStrToInt32(Address.substr(0, Address.size() - 2), Line) || Line < 0)
        return false;
    const std::wstring_view Scope = Unescaped(FindScopeField(Text, Cursor, ScopeRuleOf(Flavour)), Flavour);
    Ref = {Unescaped(Name, Flavour), Unescaped(Kind, Flavour), Line, Scope};
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

// CompareScopes, by the table's weights where it covers both: members of
// the same name in many classes ("size", "name") would otherwise take a
// system call for each comparison.
int CompareScopesBy(const TLocaleOrder& Table, std::wstring_view A, std::wstring_view B)
{
    if (A == B || A.empty() || B.empty() || !Table.Covers(A) || !Table.Covers(B))
        return CompareScopes(A, B);
    const size_t Common = std::min(A.size(), B.size());
    for (size_t C = 0; C < Common; ++C) {
        const std::uint8_t WeightA = Table.Weight(A[C]);
        const std::uint8_t WeightB = Table.Weight(B[C]);
        if (WeightA != WeightB)
            return WeightA < WeightB ? -1 : 1;
    }
    return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
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
                  std::vector<std::uint32_t>& Slow, size_t From = 0)
{
    Fast.reserve(Fast.size() + Refs.size() - From);
    for (auto I = static_cast<std::uint32_t>(From); I < Refs.size(); ++I) {
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

// The order of covered names: by their weights, then by scope, line, kind
// and position, which makes it total.
struct TFastLess {
    const TTagRefs& Refs;
    const TLocaleOrder& Table;

    bool operator()(const TFastRef& A, const TFastRef& B) const
    {
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
        if (const int Scopes = CompareScopesBy(Table, Refs[A.Index].Scope, Refs[B.Index].Scope))
            return Scopes < 0;
        if (A.Line != B.Line)
            return A.Line < B.Line;
        if (const int Kinds = Refs[A.Index].Kind.compare(Refs[B.Index].Kind))
            return Kinds < 0;
        return A.Index < B.Index;
    }
};

void SortFast(std::vector<TFastRef>& Fast, const TTagRefs& Refs, const TLocaleOrder& Table)
{
    std::sort(Fast.begin(), Fast.end(), TFastLess{Refs, Table});
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
        if (const int Kinds = Refs[A].Kind.compare(Refs[B].Kind))
            return Kinds < 0;
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

std::unique_ptr<TCtagsItem> TCtags::ParseTagLine(std::wstring_view Text, TCtagsFlavour Flavour)
{
    std::wstring Copy(Text);
    TTagRef Ref;
    if (!ParseFields(Copy, Flavour, Ref))
        return nullptr;
    return std::make_unique<TCtagsItem>(std::wstring(Ref.Name), std::wstring(Ref.Kind), Ref.Line,
                                        std::wstring(Ref.Scope));
}

std::vector<TCtags::TTagRef> TCtags::ParseTagLines(std::wstring& Text, TCtagsFlavour Flavour)
{
    std::vector<TTagRef> Refs;
    size_t Pos = 0;
    std::wstring_view Line;
    TTagRef Ref;
    while (NextTextLine(Text, Pos, Line))
        if (ParseFields(Line, Flavour, Ref))
            Refs.push_back(Ref);
    return Refs;
}

bool TCtags::ItemLess(const TCtagsItem& A, const TCtagsItem& B)
{
    int Order = CompareTextLocale(A.Name, B.Name);
    if (Order == 0)
        Order = CompareScopes(A.Scope, B.Scope);
    if (Order != 0)
        return Order < 0;
    if (A.Line != B.Line)
        return A.Line < B.Line;
    return A.Kind < B.Kind;
}

void TCtags::KeepLines(std::int32_t Last)
{
    if (FShared) {
        FItems = *FShared;
        FShared.reset();
    }
    std::erase_if(FItems, [Last](const TCtagsItem& Item) { return Item.Line < 1 || Item.Line > Last; });
}

std::wstring_view TCtags::ArgumentsFor(TCtagsFlavour Flavour) noexcept
{
    return Flavour == TCtagsFlavour::Universal ? L" -f - --fields=KsZ -n --format=2 -G "
                                               : L" -f - --fields=Ks -n --format=2 ";
}

TCtagsFlavour TCtags::DetectFlavour(const std::wstring& ExePath, const TProcessTurnEvent& OnTurn)
{
    struct TKnown {
        std::uint64_t Size = 0;
        FILETIME Written{};
        TCtagsFlavour Flavour = TCtagsFlavour::Universal;
    };
    // The host's thread alone runs commands.
    static std::map<std::wstring, TKnown> Known;
    WIN32_FILE_ATTRIBUTE_DATA Data{};
    const bool Stat = ::GetFileAttributesExW(ExePath.c_str(), GetFileExInfoStandard, &Data) != FALSE;
    const std::uint64_t Size = (std::uint64_t(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
    const auto Found = Known.find(ExePath);
    if (Stat && Found != Known.end() && Found->second.Size == Size &&
        ::CompareFileTime(&Found->second.Written, &Data.ftLastWriteTime) == 0)
        return Found->second.Flavour;
    // What it says of itself is a few lines: more is not a version.
    constexpr std::uint64_t Enough = std::uint64_t{64} * 1024;
    TProcessOptions Options;
    Options.Program = ExePath;
    Options.Directory = ExtractFileDir(ExePath);
    Options.OutputLimit = Enough;
    TMemoryStream Input;
    TReservedStream Output(Enough);
    std::uint32_t ExitCode = 0;
    TProcessStatus Status;
    TCtagsFlavour Flavour = TCtagsFlavour::Exuberant;
    if (Output.Ready() &&
        RunProcess(QuotedStr(ExePath) + L" --version", &Input, &Output, nullptr, ExitCode, SW_HIDE,
                   NORMAL_PRIORITY_CLASS, {}, {}, 0, OnTurn, Options, &Status) &&
        Status.Failure == TProcessFailure::None) {
        // "Universal Ctags 6.2.1, ..." on the first line; Universal Ctags
        // names Exuberant Ctags too, further down.
        const std::wstring Said = DecodeText(Output.Bytes());
        if (Said.substr(0, Said.find_first_of(L"\r\n")).find(L"Universal Ctags") != std::wstring::npos)
            Flavour = TCtagsFlavour::Universal;
    }
    if (Stat)
        Known[ExePath] = {Size, Data.ftLastWriteTime, Flavour};
    return Flavour;
}

const TCtagsItem* TCtags::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException(L"Argument out of range");
    return &List()[static_cast<size_t>(Index)];
}

std::shared_ptr<const std::vector<TCtagsItem>> TCtags::ShareItems()
{
    if (!FShared) {
        FShared = std::make_shared<const std::vector<TCtagsItem>>(std::move(FItems));
        FItems.clear();
    }
    return FShared;
}

void TCtags::SetItems(std::shared_ptr<const std::vector<TCtagsItem>> Items) noexcept
{
    FItems.clear();
    FShared = std::move(Items);
}

std::wstring TCtags::ResolveProgram(const std::wstring& ExecutableName)
{
    if (PathKind(ExecutableName) == TPathKind::OnCurrentDrive)
        throw ECtagsError_PathNotFull(ExecutableName);
    // Only the path found is started: a bare name left to the system's own
    // search would run a ctags.exe from the current directory first.
    const std::wstring ExePath = FindProgram(ExecutableName);
    if (ExePath.empty())
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + ExecutableName);
    // A command script would run through the command interpreter, which
    // reads the arguments (the file's name) as commands of its own.
    if (!IsProgramImage(ExePath))
        throw ECtagsError_NotAProgram(ExePath);
    return ExePath;
}

void TCtags::RaiseRunFailure(const TProcessStatus& Status, const TProcessOptions& Options,
                             const std::wstring& ExecutableName)
{
    switch (Status.Failure) {
    case TProcessFailure::None: break;
    case TProcessFailure::Setup: throw ECtagsError_SetupFailed(SystemErrorText(Status.SystemError));
    case TProcessFailure::Directory:
        throw ECtagsError_FolderUnusable(Options.Directory, SystemErrorText(Status.SystemError));
    case TProcessFailure::Start:
        throw ECtagsError_CtagsNotFound(L"ctags.exe not found: " + ExecutableName, SystemErrorText(Status.SystemError));
    case TProcessFailure::OutputLimit: throw ECtagsError_OutputTooLarge(false, Options.OutputLimit);
    case TProcessFailure::ErrorLimit: throw ECtagsError_OutputTooLarge(true, Options.ErrorLimit);
    }
}

std::wstring TCtags::ErrorText(std::string_view Bytes)
{
    // Text that cannot be decoded is still ctags' failure, with what could
    // be said about it in place of what it wrote.
    std::wstring Text;
    try {
        for (const std::wstring& Line : SplitTextLines(DecodeText(Bytes)))
            Text += Line + L"\r\n";
    } catch (const EStringError& E) {
        Text = E.Message();
    }
    return TrimText(Text);
}

void TCtags::LoadFromFile(const std::wstring& FileName)
{
    RemoveRunFolder();
    const std::wstring ExePath = ResolveProgram(FExecutableName);
    FFlavour = DetectFlavour(ExePath, OnTurn);
    const std::wstring CommandLine = QuotedStr(ExePath) + std::wstring(ArgumentsFor(FFlavour)) +
                                     QuotedStr(ExpandFileName(FileName));

    // ctags writes temporary files of its own while it runs; an Esc ends it
    // before it can remove them, so they go into a folder of ours.
    const std::wstring Temp = MakePrivateFolder(GetTempDirectory(), RunFolderPrefix);
    if (Temp.empty())
        throw ECtagsError_SetupFailed(SystemErrorText(::GetLastError()));
    auto RemoveTemp = ScopeExit([&] { DeleteTempFile(Temp); });
    TProcessOptions Options;
    Options.Program = ExePath;
    // Its own folder, never the caller's current one: in a file manager that
    // is whatever folder the panel shows, with whatever option files a
    // downloaded folder brings.
    Options.Directory = ExtractFileDir(ExePath);
    Options.Environment = {L"TMP=" + Temp, L"TEMP=" + Temp};
    Options.OutputLimit = OutputLimit;
    Options.ErrorLimit = ErrorLimit;
    TProcessStatus Status;
    TMemoryStream Input;
    // Of their limits' size, so that what ctags writes is never copied to
    // make room while it writes.
    TReservedStream Output(OutputLimit);
    TReservedStream Errors(ErrorLimit);
    if (!Output.Ready() || !Errors.Ready())
        throw ECtagsError_SetupFailed(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    std::uint32_t ExitCode = 0;
    // ctags sorts its tags and writes them as it ends. Asked not to sort,
    // it writes them as it finds them, but runs longer by more than all the
    // reading of its output takes (Universal Ctags 6.2.1 under wine, 16% on
    // 50,000 lines). What it writes is decoded, parsed and sorted in the
    // pieces the runner hands over. The empty input ends at once, so ctags
    // never waits on a console.
    TOutputParser Parser(FFlavour);
    const TProcessOutputEvent OnOutput = [&](HANDLE, const void*, std::uint32_t) {
        Parser.Feed(Output.Bytes(), false);
    };
    Options.DrainInterval = OutputDrainInterval;
    RunProcess(CommandLine, &Input, &Output, &Errors, ExitCode, SW_HIDE, NORMAL_PRIORITY_CLASS, OnOutput, {}, 0, OnTurn,
               Options, &Status);
    RaiseRunFailure(Status, Options, FExecutableName);
    if (ExitCode != 0)
        throw ECtagsError_ExecutionFailed(static_cast<std::int32_t>(ExitCode), ErrorText(Errors.Bytes()));
    try {
        Parser.Feed(Output.Bytes(), true);
        if (Parser.Whole()) {
            FShared.reset();
            FItems = Parser.SortedItems();
        } else {
            LoadFromOutput(Output.Bytes());
        }
    } catch (const EStringError& E) {
        throw ECtagsError(E.Message());
    }
    FRunFolder = Temp;
    RemoveTemp.release();
}

void TCtags::RemoveRunFolder() noexcept
{
    if (!FRunFolder.empty())
        DeleteTempFile(std::exchange(FRunFolder, std::wstring()));
}

// Each piece's refs are sorted as they come, and merged with the run before
// theirs while that is at most twice as long: every ref is merged a few
// times in all, and ctags' exit leaves a merge of a few runs instead of a
// sort of everything.
struct TCtags::TOutputParser::TSortRuns {
    std::shared_ptr<const TLocaleOrder> Order = TLocaleOrder::Current();
    std::vector<std::vector<TFastRef>> Runs;
    std::vector<std::uint32_t> Slow;

    void Add(const TTagRefs& Refs, size_t From)
    {
        std::vector<TFastRef> Run;
        SplitByTable(Refs, *Order, Run, Slow, From);
        if (Run.empty())
            return;
        SortFast(Run, Refs, *Order);
        Runs.push_back(std::move(Run));
        while (Runs.size() >= 2 && Runs[Runs.size() - 2].size() <= 2 * Runs.back().size())
            MergeLast(Refs);
    }

    void MergeLast(const TTagRefs& Refs)
    {
        std::vector<TFastRef>& Into = Runs[Runs.size() - 2];
        std::vector<TFastRef> Merged(Into.size() + Runs.back().size());
        std::merge(Into.begin(), Into.end(), Runs.back().begin(), Runs.back().end(), Merged.begin(),
                   TFastLess{Refs, *Order});
        Into = std::move(Merged);
        Runs.pop_back();
    }

    std::vector<std::uint32_t> Finish(const TTagRefs& Refs)
    {
        while (Runs.size() >= 2)
            MergeLast(Refs);
        if (Runs.empty())
            Runs.emplace_back();
        return MergeSlow(Refs, Runs.front(), Slow);
    }
};

TCtags::TOutputParser::TOutputParser(TCtagsFlavour Flavour) : FFlavour(Flavour), FRuns(std::make_unique<TSortRuns>()) {}

TCtags::TOutputParser::~TOutputParser() = default;

void TCtags::TOutputParser::Feed(std::string_view Bytes, bool Final)
{
    if (!FWhole || FDone >= Bytes.size())
        return;
    // Whole lines only, which never end inside a UTF-8 sequence or a CR LF.
    const size_t End = Final ? Bytes.size() : Bytes.rfind('\n') + 1;
    if (End <= FDone)
        return;
    const std::string_view Piece = Bytes.substr(FDone, End - FDone);
    // A byte-order mark, or bytes that are not UTF-8 anywhere, decide how
    // the whole output reads (see DecodeText): that is left to the end.
    const auto Marked = [&](std::string_view Mark) { return Piece.substr(0, Mark.size()) == Mark; };
    std::wstring Text;
    if ((FDone == 0 && (Marked("\xEF\xBB\xBF") || Marked("\xFF\xFE") || Marked("\xFE\xFF"))) ||
        !TryDecodeUtf8(Piece, Text)) {
        FWhole = false;
        FRefs.clear();
        FItems.clear();
        FTexts.clear();
        FRuns.reset();
        return;
    }
    FDone = End;
    std::vector<TTagRef> Refs = ParseTagLines(FTexts.emplace_back(std::move(Text)), FFlavour);
    // The items too, while ctags still runs: their copies of the names are
    // most of what is left to do after it. (Room for exactly this piece
    // would move every item made so far at every piece.)
    for (const TTagRef& Ref : Refs)
        FItems.emplace_back(std::wstring(Ref.Name), std::wstring(Ref.Kind), Ref.Line, std::wstring(Ref.Scope));
    const size_t From = FRefs.size();
    if (FRefs.empty())
        FRefs = std::move(Refs);
    else
        FRefs.insert(FRefs.end(), Refs.begin(), Refs.end());
    if (FRefs.size() > UINT32_MAX)
        throw EArgumentOutOfRangeException(L"Too many tags");
    FRuns->Add(FRefs, From);
}

std::vector<TCtagsItem> TCtags::TOutputParser::SortedItems()
{
    // Put in order where they are, cycle by cycle: a second list of them
    // would be megabytes of fresh memory for a moment.
    std::vector<std::uint32_t> Order = FRuns->Finish(FRefs);
    for (size_t Start = 0; Start < Order.size(); ++Start) {
        if (Order[Start] == Start)
            continue;
        TCtagsItem Held = std::move(FItems[Start]);
        size_t At = Start;
        for (;;) {
            const size_t From = Order[At];
            Order[At] = static_cast<std::uint32_t>(At);
            if (From == Start) {
                FItems[At] = std::move(Held);
                break;
            }
            FItems[At] = std::move(FItems[From]);
            At = From;
        }
    }
    return std::move(FItems);
}

void TCtags::LoadFromOutput(std::string_view Bytes)
{
    std::wstring Text = DecodeText(Bytes);
    TakeRefs(ParseTagLines(Text, FFlavour));
}

void TCtags::TakeRefs(std::vector<TTagRef>&& Refs)
{
    SortTagRefs(Refs);
    // The old items go first, so that the new ones take over their memory
    // instead of the heap growing for them.
    FShared.reset();
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
    std::vector<TTagRef> Result;
    Result.reserve(Refs.size());
    for (const std::uint32_t I : SortOrder(Refs))
        Result.push_back(Refs[I]);
    Refs = std::move(Result);
}

std::vector<std::uint32_t> TCtags::SortOrder(const std::vector<TTagRef>& Refs)
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
    return MergeSlow(Refs, Fast, Slow);
}
