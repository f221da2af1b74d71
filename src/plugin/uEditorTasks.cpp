#include "plugin/uEditorTasks.h"

#include "base/Handle.h"

#include "bridge/uEditorChanges.h"
#include "bridge/uFarEditor.h"
#include "bridge/uFarPlugin.h"
#include "base/uFiles.h"
#include "plugin/uCtagsReport.h"
#include "plugin/uFunctionListUI.h"
#include "plugin/uMessages.h"
#include "base/uStrings.h"
#include "base/uSystem.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Whether Windows takes Name for a device in any folder: "aux.c" opens the
// AUX device, not a file, whatever its extension.
bool IsDeviceName(std::wstring_view Name)
{
    Name = Name.substr(0, Name.find(L'.'));
    while (!Name.empty() && Name.back() == L' ')
        Name.remove_suffix(1);
    const std::wstring Upper = UpperCaseText(Name);
    for (const wchar_t* Device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (Upper == Device)
            return true;
    return Upper.size() == 4 && (Upper.starts_with(L"COM") || Upper.starts_with(L"LPT")) &&
           ((Upper[3] >= L'0' && Upper[3] <= L'9') || Upper[3] == L'\u00B9' || Upper[3] == L'\u00B2' ||
            Upper[3] == L'\u00B3');
}

// The edited file's whole name, without its folder: ctags chooses the
// language of many files by it. A device's name gets a mark before its
// extension, which ctags still reads.
std::wstring SnapshotName(const std::wstring& FileName)
{
    const size_t Separator = FileName.find_last_of(L"\\/:");
    std::wstring Name = Separator == std::wstring::npos ? FileName : FileName.substr(Separator + 1);
    if (Name.empty())
        return L"untitled";
    if (IsDeviceName(Name))
        Name.insert(std::min(Name.find(L'.'), Name.size()), L"_");
    return Name;
}

// The temporary folder cannot take the snapshot; the user is told which
// folder, since that is what has to be mended.
class ETempFolderError : public Exception {
public:
    explicit ETempFolderError(std::wstring Folder) : Exception(std::move(Folder)) {}
    const wchar_t* ClassName() const noexcept override { return L"ETempFolderError"; }
};

// How often the snapshot looks at the keyboard, in lines: a look costs a
// system call, a line a copy.
constexpr intptr_t EscapeScanLines = 4096;

// A fresh folder of the plugin's own under Temp, registered for the
// clean-up at unload.
std::wstring MakeSnapshotFolder(const std::wstring& Temp)
{
    const std::wstring Folder = MakePrivateFolder(Temp, SnapshotPrefix);
    if (Folder.empty())
        throw ETempFolderError(Temp.empty() ? L"%TEMP%" : Temp);
    return Folder;
}

} // namespace

bool IsIdentChar(wchar_t C)
{
    if (C < 0x80)
        return (C >= L'0' && C <= L'9') || (C >= L'A' && C <= L'Z') || C == L'_' || (C >= L'a' && C <= L'z');
    // Either half of a surrogate pair belongs to whatever character it makes.
    if (C >= 0xD800 && C <= 0xDFFF)
        return true;
    return ::IsCharAlphaNumericW(C) != FALSE;
}

namespace {

// Where the name Name stands in Text, from At: its end, or npos. A space
// of the name matches any run of blanks, none included: ctags spells
// "operator&&" as "operator &&".
size_t MatchName(std::wstring_view Text, size_t At, std::wstring_view Name)
{
    for (size_t I = 0; I < Name.size(); ++I) {
        if (Name[I] == L' ') {
            while (At < Text.size() && (Text[At] == L' ' || Text[At] == L'\t'))
                ++At;
            continue;
        }
        if (At >= Text.size() || Text[At] != Name[I])
            return std::wstring_view::npos;
        ++At;
    }
    return At;
}

} // namespace

intptr_t NameColumn(std::wstring_view Text, std::wstring_view Name)
{
    if (Name.empty())
        return -1;
    // Where the definition's own part ends: what comes after its name.
    const size_t Stop = std::min(Text.find_first_of(L"(=;{["), Text.size());
    intptr_t First = -1;
    intptr_t LastBeforeStop = -1;
    for (size_t At = 0; At < Text.size(); ++At) {
        const size_t End = MatchName(Text, At, Name);
        if (End == std::wstring_view::npos)
            continue;
        // A whole word: not the end of a longer name, nor its start.
        if ((IsIdentChar(Name.front()) && At > 0 && IsIdentChar(Text[At - 1])) ||
            (IsIdentChar(Name.back()) && End < Text.size() && IsIdentChar(Text[End])))
            continue;
        if (First < 0)
            First = static_cast<intptr_t>(At);
        if (At < Stop)
            LastBeforeStop = static_cast<intptr_t>(At);
    }
    // The name being defined is the last one before its parameters, its
    // value or its body: "Circle::Circle(", "struct point point;", "struct
    // node *node(". Where it follows them ("func (c *T) Area(") the first
    // one serves.
    if (LastBeforeStop >= 0)
        return LastBeforeStop;
    if (First >= 0)
        return First;
    // Not in the line: its first character that is not blank.
    const size_t Text0 = Text.find_first_not_of(L" \t");
    return Text0 == std::wstring_view::npos ? 0 : static_cast<intptr_t>(Text0);
}

TEditorTasks::~TEditorTasks()
{
    DeleteSnapshot();
    FProgress.reset();
    FOptions.reset();
    FCtags.reset();
}

TFarProgress& TEditorTasks::GetProgress()
{
    if (!FProgress)
        FProgress = std::make_unique<TFarProgress>();
    return *FProgress;
}

TOptions& TEditorTasks::GetOptions()
{
    if (!FOptions)
        FOptions = TOptions::CreateLoaded();
    return *FOptions;
}

TCtags& TEditorTasks::GetCtags()
{
    if (FCtags)
        return *FCtags;
    auto Ctags = std::make_unique<TCtags>();
    // A path copied from the system's file browser comes in double quotes.
    std::wstring Configured = TrimText(ExpandEnvironment(GetOptions().GetCtagsFileName()));
    if (Configured.size() >= 2 && Configured.front() == L'"' && Configured.back() == L'"')
        Configured = TrimText(Configured.substr(1, Configured.size() - 2));
    const std::wstring Folder = PluginFolder();
    // Only a program the user chose runs: the configured one, else the copy
    // beside the plugin, else a ctags.exe in the plugin's folder or on
    // PATH. Never one from the current folder, which is whatever folder the
    // panel shows.
    std::wstring Found;
    if (!Configured.empty()) {
        Found = FindProgram(Configured, Folder);
    } else {
        if (!Folder.empty() && FileExists(Folder + L"\\ctags\\ctags.exe"))
            Found = Folder + L"\\ctags\\ctags.exe";
        else
            Found = FindProgram(L"ctags.exe", Folder);
    }
    // Not found: the name stays what the user gave, for the box that says so.
    Ctags->SetExecutableName(!Found.empty() ? Found : Configured.empty() ? L"ctags.exe" : Configured);
    FCtags = std::move(Ctags);
    return *FCtags;
}

void TEditorTasks::DeleteSnapshot() noexcept
{
    if (!FSnapshotFolder.empty())
        DeleteTempFile(std::exchange(FSnapshotFolder, std::wstring()));
}

void TEditorTasks::ShowError(const std::vector<std::wstring>& Lines)
{
    TFarModule::Message(far3::FMSG_WARNING, Lines, 1);
}

bool TEditorTasks::LoadTags()
{
    // Without the options the user's choice of ctags is unknown; whatever
    // would run instead is not one the user chose.
    if (!GetOptions().IsLoaded()) {
        ShowError({GetMsg(MTitle), GetMsg(MSettingsUnreadable), GetMsg(MOk)});
        return false;
    }
    // The same text as the last time, for the same ctags, has the same
    // tags: known from the editor's changes where it has had none since,
    // else by reading the text, before anything is written.
    far3::EditorInfo Info{};
    if (!TFarEditor::GetInfo(FEditorId, Info) || !TFarEditor::GetFileName(FEditorId, FEditorFileName)) {
        ShowError({GetMsg(MTitle), GetMsg(MCannotReadEditor), GetMsg(MOk)});
        return false;
    }
    FTotalLines = Info.TotalLines;
    // Watched before the text is read: a change after the reading is seen.
    const TTextSeen Seen{TEditorChanges::Watch(Info.EditorID), Info.CodePage};
    TProgramStamp Program;
    try {
        Program = TProgramStamp::Of(TCtags::ResolveProgram(GetCtags().GetExecutableName()));
    } catch (const ECtagsError&) {
        // The run says why, in its own words.
    }
    TTagsMemory& Memory = TTagsMemory::Instance();
    if (auto Known = Memory.FindUnchanged(FEditorFileName, Seen, Program)) {
        GetCtags().SetItems(std::move(Known));
        return true;
    }
    // The text is read once, for its digest and its snapshot together: a
    // text seen before (an undo back to it) costs a snapshot written for
    // nothing, any other a second pass over every line.
    TTextDigest Digest;
    std::wstring FileName;
    bool IsTemporary = false;
    try {
        if (!PrepareFile(FileName, IsTemporary, Digest)) {
            ShowError({GetMsg(MTitle), GetMsg(MCannotReadEditor), GetMsg(MOk)});
            return false;
        }
    } catch (const ETempFolderError& E) {
        // Tags remembered for this text need no snapshot.
        TTextDigest Read;
        if (DigestText(Read)) {
            if (auto Known = Memory.Find(FEditorFileName, Read, Program, Seen)) {
                GetCtags().SetItems(std::move(Known));
                return true;
            }
        }
        ShowError({GetMsg(MTitle), GetMsg(MTempFolderFailed), E.Message(), GetMsg(MOk)});
        return false;
    }
    if (auto Known = Memory.Find(FEditorFileName, Digest, Program, Seen)) {
        DeleteSnapshot();
        GetCtags().SetItems(std::move(Known));
        return true;
    }
    if (!RunCtags(FileName, IsTemporary))
        return false;
    // Far takes line -1 for "the current line", and asking for a line past
    // the end gets nothing: such tags are not offered.
    GetCtags().KeepLines(static_cast<std::int32_t>(std::min<intptr_t>(FTotalLines, INT32_MAX)));
    Memory.Remember(FEditorFileName, Digest, Program, GetCtags().ShareItems(), Seen);
    return true;
}

bool TEditorTasks::Execute()
{
    if (!LoadTags())
        return false;
    // A flash of the progress window and nothing else would leave the user
    // guessing: an empty file, a language ctags does not know, a new buffer.
    if (GetCtags().Count() == 0) {
        ShowError({GetMsg(MTitle), GetMsg(MNoTags), FEditorFileName, GetMsg(MOk)});
        return false;
    }
    std::int32_t Line = 0;
    std::wstring Name;
    const bool Chosen = ChooseTag(Line, Name);
    DeleteSnapshot();
    GetCtags().RemoveRunFolder();
    if (!Chosen)
        return false;
    // Tags count lines from 1, the editor from 0.
    std::wstring Text;
    const intptr_t Column = TFarEditor::GetString(FEditorId, Line - 1, Text) ? NameColumn(Text, Name) : -1;
    // Where the user was, for the way back; a host that refuses it still
    // gets the jump. A jump that does not move adds none: the way back
    // would stay on it.
    far3::EditorInfo Before{};
    const bool Moves = !TFarEditor::GetInfo(FEditorId, Before) || Before.CurLine != Line - 1 || Before.CurPos != Column;
    if (Moves)
        TFarEditor::AddSessionBookmark(FEditorId);
    TPlace From;
    const bool Known = FPlaces && Moves && CurrentPlace(From);
    if (!TFarEditor::GoTo(FEditorId, Line - 1, Column))
        return false;
    if (Known)
        FPlaces->Push(std::move(From));
    // The macro is told of a jump only where the cursor now is on the tag.
    far3::EditorInfo After{};
    return TFarEditor::GetInfo(FEditorId, After) && After.CurLine == Line - 1;
}

bool TEditorTasks::DigestText(TTextDigest& Digest)
{
    for (intptr_t I = 0; I < FTotalLines; ++I) {
        std::wstring_view Text;
        if (!TFarEditor::GetStringView(FEditorId, I, Text))
            return false;
        Digest.AddLine(Text);
    }
    return true;
}

bool TEditorTasks::PrepareFile(std::wstring& FileName, bool& IsTemporary, TTextDigest& Digest)
{
    FileName.clear();
    IsTemporary = false;
    far3::EditorInfo Info{};
    std::wstring EditorFileName;
    if (!TFarEditor::GetInfo(FEditorId, Info) || !TFarEditor::GetFileName(FEditorId, EditorFileName))
        return false;
    FEditorFileName = EditorFileName;
    FTotalLines = Info.TotalLines;

    // ctags always reads the lines the editor holds, in an encoding it
    // reads: the file on disk may be UTF-16, may have line ends the editor
    // counts and ctags does not (a lone CR), or may have changed behind the
    // editor. The snapshot keeps the file's whole name, by which ctags
    // chooses the language of many files (Makefile, CMakeLists.txt), in a
    // folder of its own.
    TFarProgress& Progress = GetProgress();
    std::vector<std::wstring> Lines = {GetMsg(MTitle), GetMsg(MWritingSnapshot), Progress.FitText(EditorFileName),
                                       Progress.ProgressBar(0, Info.TotalLines)};
    const auto Hide = ScopeExit([&] { Progress.Hide(); });
    Progress.Show(Lines, false);
    const std::wstring TempFolder = GetTempDirectory();
    const std::wstring Folder = MakeSnapshotFolder(TempFolder);
    // Declared before the stream, so that the file is closed first.
    auto Remove = ScopeExit([&] { DeleteTempFile(Folder); });
    const std::wstring Snapshot = Folder + L"\\" + SnapshotName(EditorFileName);
    std::unique_ptr<TTextStream> Stream;
    try {
        Stream = TTextStream::Create(Snapshot, fmCreate);
    } catch (const EFCreateError&) {
        throw ETempFolderError(TempFolder);
    }
    for (intptr_t I = 0; I < Info.TotalLines; ++I) {
        // Written straight from the host's buffer, before the next call.
        std::wstring_view Text;
        if (!TFarEditor::GetStringView(FEditorId, I, Text))
            return false;
        // ctags guesses the language of a file without an extension from
        // its "#!" line, which a byte-order mark in front of it would hide.
        if (I == 0 && Text.starts_with(L"#!"))
            Stream->SetEncoding(TTextEncoding::teUtf8);
        Stream->WriteLine(Text);
        Digest.AddLine(Text);
        if (Progress.TimeToDraw()) {
            Lines[3] = Progress.ProgressBar(I + 1, Info.TotalLines);
            Progress.Show(Lines, false);
        }
        // A large buffer takes a while: Esc ends the command here as it does
        // while ctags runs, whether or not a redraw was due.
        if (I % EscapeScanLines == EscapeScanLines - 1)
            Progress.ScanForEscape();
    }
    // Flushed here, where a failure to write is reported.
    Stream->Flush();
    Stream.reset();
    Remove.release();
    FSnapshotFolder = Folder;
    FileName = Snapshot;
    IsTemporary = true;
    return true;
}

bool TEditorTasks::RunCtags(const std::wstring& FileName, bool IsTemporary)
{
    // A run that failed takes its snapshot with it. After a good one the
    // snapshot and ctags' temporary folder go once the list has closed (or
    // with the tasks): deleting them is time the user would wait for the
    // list.
    auto Cleanup = ScopeExit([&] {
        if (IsTemporary)
            DeleteSnapshot();
    });
    TCtags& Ctags = GetCtags();
    try {
        TFarProgress& Progress = GetProgress();
        // The user knows the file by its own name, not by the snapshot's.
        const std::wstring Shown = FEditorFileName.empty() ? FileName : FEditorFileName;
        const std::vector<std::wstring> Lines = {GetMsg(MTitle), GetMsg(MRunningCtags), Progress.FitText(Shown),
                                                 Progress.ProgressBar(0, 0)};
        Progress.Show(Lines, false);
        const auto Hide = ScopeExit([&] {
            Progress.SetCheckEscape(false);
            Progress.Hide();
        });
        // A ctags that never ends must not hold the host for good: while it
        // runs, the window is redrawn and Esc ends the command.
        Progress.SetCheckEscape(true);
        Ctags.OnTurn = [&] { Progress.Show(Lines, false); };
        const auto Forget = ScopeExit([&] { Ctags.OnTurn = nullptr; });
        Ctags.LoadFromFile(FileName);
        Cleanup.release();
    } catch (const ECtagsError& E) {
        ShowCtagsError(E, Ctags.GetExecutableName(), FEditorFileName.empty() ? FileName : FEditorFileName,
                       !TrimText(GetOptions().GetCtagsFileName()).empty());
        return false;
    }
    return true;
}

bool TEditorTasks::ChooseTag(std::int32_t& Line, std::wstring& Name)
{
    Line = 0;
    TCtags& Tags = GetCtags();
    auto Dialog = TFarDialog::Create<TFunctionListDialog>();
    Dialog->SetTags(&Tags);
    TOptions& Options = GetOptions();
    Dialog->SetOrder(Options.GetFunctionListMatchOrder()  ? TListOrder::ByMatch
                     : Options.GetFunctionListFileOrder() ? TListOrder::InFile
                                                          : TListOrder::ByName);
    Dialog->SetFuzzy(Options.GetFunctionListFuzzy());
    if (Options.GetFunctionSearchDelayEnabled() && Options.GetFunctionSearchDelay() > 0)
        Dialog->SetSearchDelay(static_cast<std::uint32_t>(Options.GetFunctionSearchDelay()));
    Dialog->SetEditorId(FEditorId);

    // A selection within one line is a name to look for; a selection over
    // several lines or a column block is not.
    std::wstring Selected;
    intptr_t BlockType = far3::BTYPE_NONE;
    std::wstring Word;
    if (TFarEditor::GetSelection(FEditorId, Selected, BlockType) && BlockType == far3::BTYPE_STREAM &&
        !(Selected = TrimText(Selected)).empty() && Selected.find_first_of(L"\r\n") == std::wstring::npos)
        Dialog->SetSearchText(Selected);
    else if (GetWordUnderCursor(Word) && Dialog->HasMatch(Word))
        Dialog->SetSearchText(TrimText(Word));

    // The nearest tag at or above the cursor; the later one in list order
    // among tags on the same line.
    int Best = 0;
    std::int32_t BestLine = 0;
    far3::EditorInfo Info{};
    if (TFarEditor::GetInfo(FEditorId, Info)) {
        Dialog->SetCursorLine(Info.CurLine);
        for (int I = 0; I < Tags.Count(); ++I) {
            const std::int32_t TagLine = Tags.GetItem(I)->Line;
            if (TagLine - 1 <= Info.CurLine && TagLine >= BestLine) {
                BestLine = TagLine;
                Best = I;
            }
        }
    }
    // None at or above the cursor: the first row in the order shown, which
    // in file order is the file's first tag.
    Dialog->SetItemIndex(static_cast<std::int32_t>(BestLine > 0 ? Dialog->RowOfTag(Best) : 0));
    const bool Executed = Dialog->Execute();
    // The order the user switched to stays for the next list; a store that
    // refuses it costs only that.
    const TListOrder Order = Dialog->GetOrder();
    // By match over a file order the file order stays: it is what a
    // version that knows only those two reads.
    if (Order != TListOrder::ByMatch)
        Options.SetFunctionListFileOrder(Order == TListOrder::InFile);
    Options.SetFunctionListMatchOrder(Order == TListOrder::ByMatch);
    Options.Save(false);
    if (!Executed)
        return false;
    // With every row filtered away the host reports no row (-1); a row the
    // filter hides is not a choice either.
    const std::int32_t Chosen = Dialog->GetItemIndex();
    const int Tag = Dialog->TagOfRow(Chosen);
    if (Tag < 0 || !Dialog->GetList()->GetItems().GetItem(Chosen)->GetVisible())
        return false;
    Line = Tags.GetItem(Tag)->Line;
    Name = Tags.GetItem(Tag)->Name;
    return true;
}

bool TEditorTasks::GetWordUnderCursor(std::wstring& Word)
{
    Word.clear();
    far3::EditorInfo Info{};
    std::wstring Text;
    if (!TFarEditor::GetInfo(FEditorId, Info) || !TFarEditor::GetString(FEditorId, Info.CurLine, Text))
        return false;
    const intptr_t Length = static_cast<intptr_t>(Text.size());
    // 1-based, as the positions below count.
    const intptr_t P = Info.CurPos + 1;
    if (P < 1 || P > Length)
        return false;
    const auto At = [&](intptr_t Position) { return Text[static_cast<size_t>(Position - 1)]; };
    intptr_t S = P;
    while (S > 0 && IsIdentChar(At(S)))
        --S;
    intptr_t E = P;
    while (E <= Length && IsIdentChar(At(E)))
        ++E;
    if (S == E)
        return false;
    Word = Text.substr(static_cast<size_t>(S), static_cast<size_t>(E - S - 1));
    return true;
}
