#include "EditorModel.h"

#include "HostContext.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// The visual column of a real position: tabs advance to the next tab stop,
// positions past the end of the line count one column each.
intptr_t RealToTab(const std::wstring& Text, intptr_t Pos, intptr_t TabSize)
{
    intptr_t Column = 0;
    for (intptr_t I = 0; I < Pos; ++I) {
        if (I < static_cast<intptr_t>(Text.size()) && Text[static_cast<size_t>(I)] == L'\t' && TabSize > 0)
            Column += TabSize - Column % TabSize;
        else
            ++Column;
    }
    return Column;
}

intptr_t TabToReal(const std::wstring& Text, intptr_t Column, intptr_t TabSize)
{
    intptr_t Pos = 0;
    while (RealToTab(Text, Pos + 1, TabSize) <= Column)
        ++Pos;
    return Pos;
}

} // namespace

const char* EditorCommandName(far3::EDITOR_CONTROL_COMMANDS Command)
{
    switch (Command) {
    case far3::ECTL_GETSTRING: return "ECTL_GETSTRING";
    case far3::ECTL_GETINFO: return "ECTL_GETINFO";
    case far3::ECTL_SETPOSITION: return "ECTL_SETPOSITION";
    case far3::ECTL_REDRAW: return "ECTL_REDRAW";
    case far3::ECTL_GETFILENAME: return "ECTL_GETFILENAME";
    case far3::ECTL_SUBSCRIBECHANGEEVENT: return "ECTL_SUBSCRIBECHANGEEVENT";
    case far3::ECTL_UNSUBSCRIBECHANGEEVENT: return "ECTL_UNSUBSCRIBECHANGEEVENT";
    case far3::ECTL_ADDSESSIONBOOKMARK: return "ECTL_ADDSESSIONBOOKMARK";
    default: return "ECTL_OTHER";
    }
}

// --- TEditor -------------------------------------------------------------------

void TEditor::SetText(const std::wstring& Text)
{
    Lines.clear();
    TEditorLine Line;
    for (size_t I = 0; I < Text.size(); ++I) {
        const wchar_t C = Text[I];
        if (C != L'\r' && C != L'\n') {
            Line.Text.push_back(C);
            continue;
        }
        Line.Eol = (C == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') ? L"\r\n" : std::wstring(1, C);
        I += Line.Eol.size() - 1;
        Lines.push_back(std::move(Line));
        Line = TEditorLine{};
    }
    Lines.push_back(std::move(Line));
    CurLine = std::min<intptr_t>(CurLine, static_cast<intptr_t>(Lines.size()) - 1);
}

std::wstring TEditor::Text() const
{
    std::wstring Result;
    for (const TEditorLine& Line : Lines)
        Result += Line.Text + Line.Eol;
    return Result;
}

void TEditor::SelectStream(intptr_t StartLine, intptr_t StartPos, intptr_t EndLine, intptr_t EndPos)
{
    Block = TEditorBlock{far3::BTYPE_STREAM, StartLine, StartPos, EndLine, EndPos};
}

void TEditor::SelectColumn(intptr_t StartLine, intptr_t StartPos, intptr_t EndLine, intptr_t EndPos)
{
    Block = TEditorBlock{far3::BTYPE_COLUMN, StartLine, StartPos, EndLine, EndPos};
}

void TEditor::LineSelection(intptr_t Line, intptr_t& SelStart, intptr_t& SelEnd) const
{
    SelStart = -1;
    SelEnd = 0;
    if (Block.Type == far3::BTYPE_NONE || Line < Block.StartLine || Line > Block.EndLine)
        return;
    const intptr_t Length = static_cast<intptr_t>(Lines[static_cast<size_t>(Line)].Text.size());
    if (Block.Type == far3::BTYPE_COLUMN) {
        // Every line of a column block has its part, empty where the line is
        // too short to reach the block; the line break is never part of it.
        SelStart = std::min(Block.StartPos, Length);
        SelEnd = std::min(Block.EndPos, Length);
        return;
    }
    const intptr_t Start = Line == Block.StartLine ? Block.StartPos : 0;
    if (Line < Block.EndLine) {
        SelStart = Start;
        SelEnd = -1; // through the line break
    } else if (Block.EndPos > Start) {
        SelStart = Start;
        SelEnd = std::min(Block.EndPos, Length);
    }
    // A stream block that ends at the start of a line leaves that line out.
}

// --- TEditorModel ------------------------------------------------------------------

TEditorModel::TEditorModel(THostContext& Host)
    : FHost(Host), FWindows{{far3::WTYPE_DESKTOP, -1}, {far3::WTYPE_PANELS, -1}}
{
}

TEditor& TEditorModel::Add(intptr_t Id, const std::wstring& FileName)
{
    auto Editor = std::make_unique<TEditor>();
    Editor->Id = Id;
    Editor->FileName = FileName;
    FEditors.push_back(std::move(Editor));
    FWindows.push_back({far3::WTYPE_EDITOR, Id});
    return *FEditors.back();
}

intptr_t TEditorModel::CurrentEditorWindow() const
{
    return !FWindows.empty() && FWindows.back().Type == far3::WTYPE_EDITOR ? FWindows.back().EditorId : -1;
}

void TEditorModel::Event(far3::EDITOR_EVENTS Event, intptr_t Id, void* Param)
{
    ReportChanges();
    FHost.EditorEvent(Event, Param, Id);
}

namespace {

// A line as the change report knows it: a hash of its text and line end,
// so that what was reported costs no copy of a large text.
std::vector<std::size_t> LineHashes(const std::vector<TEditorLine>& Lines)
{
    std::vector<std::size_t> Hashes;
    Hashes.reserve(Lines.size());
    for (const TEditorLine& Line : Lines)
        Hashes.push_back(std::hash<std::wstring>()(Line.Text) * 31 + std::hash<std::wstring>()(Line.Eol));
    return Hashes;
}

} // namespace

void TEditorModel::ReportChanges()
{
    for (auto& [Id, Reported] : FReported) {
        const TEditor* Editor = Find(Id);
        if (!Editor)
            continue;
        std::vector<std::size_t> Now = LineHashes(Editor->Lines);
        if (Now == Reported)
            continue;
        // The lines between an equal start and an equal end: those of both
        // changed, the rest were added or deleted.
        size_t Head = 0;
        while (Head < Now.size() && Head < Reported.size() && Now[Head] == Reported[Head])
            ++Head;
        size_t Tail = 0;
        while (Tail < Now.size() - Head && Tail < Reported.size() - Head &&
               Now[Now.size() - 1 - Tail] == Reported[Reported.size() - 1 - Tail])
            ++Tail;
        const size_t Before = Reported.size() - Head - Tail, After = Now.size() - Head - Tail;
        std::vector<far3::EditorChange> Changes;
        for (size_t I = 0; I < std::min(Before, After); ++I)
            Changes.push_back({sizeof(far3::EditorChange), 0, static_cast<intptr_t>(Head + I)});
        for (size_t I = Before; I < After; ++I)
            Changes.push_back({sizeof(far3::EditorChange), 1, static_cast<intptr_t>(Head + I)});
        for (size_t I = After; I < Before; ++I)
            Changes.push_back({sizeof(far3::EditorChange), 2, static_cast<intptr_t>(Head + After)});
        Reported = std::move(Now);
        FInChange = true;
        for (far3::EditorChange& Change : Changes)
            FHost.EditorEvent(far3::EE_CHANGE, &Change, Id);
        FInChange = false;
    }
}

void TEditorModel::Recode(TEditor& Editor, uintptr_t CodePage, const std::wstring& Text)
{
    ReportChanges();
    Editor.CodePage = CodePage;
    Editor.SetText(Text);
    if (const auto Reported = FReported.find(Editor.Id); Reported != FReported.end())
        Reported->second = LineHashes(Editor.Lines);
}

void TEditorModel::FocusMoved(intptr_t Before)
{
    const intptr_t After = CurrentEditorWindow();
    if (Before == After)
        return;
    if (Before != -1)
        Event(far3::EE_KILLFOCUS, Before);
    if (After != -1)
        Event(far3::EE_GOTFOCUS, After);
}

TEditor& TEditorModel::Open(const std::wstring& FileName, const std::wstring& Text)
{
    const intptr_t Before = CurrentEditorWindow();
    TEditor& Editor = Add(FNextId++, FileName);
    Editor.SetText(Text);
    // The old editor loses the focus, the new one gets it, then says it
    // has read its file.
    FocusMoved(Before);
    Event(far3::EE_READ, Editor.Id);
    return Editor;
}

void TEditorModel::Close(intptr_t Id)
{
    // The focus goes first, then the editor, then the window below it
    // gets the focus.
    if (CurrentEditorWindow() == Id)
        Event(far3::EE_KILLFOCUS, Id);
    if (Find(Id))
        Event(far3::EE_CLOSE, Id);
    FReported.erase(Id);
    for (const auto& Editor : FEditors)
        if (Editor->Id == Id)
            FSavedPositions[HostNameKey(Editor->FileName)] = {Editor->CurLine, Editor->CurPos, Editor->TopScreenLine,
                                                              Editor->LeftPos};
    FEditors.erase(std::remove_if(FEditors.begin(), FEditors.end(),
                                  [Id](const std::unique_ptr<TEditor>& E) { return E->Id == Id; }),
                   FEditors.end());
    FWindows.erase(
        std::remove_if(FWindows.begin(), FWindows.end(),
                       [Id](const THostWindow& W) { return W.Type == far3::WTYPE_EDITOR && W.EditorId == Id; }),
        FWindows.end());
    if (CurrentEditorWindow() != -1)
        Event(far3::EE_GOTFOCUS, CurrentEditorWindow());
}

void TEditorModel::SetCurrent(intptr_t Id)
{
    for (size_t Pos = 0; Pos < FWindows.size(); ++Pos) {
        if (FWindows[Pos].Type == far3::WTYPE_EDITOR && FWindows[Pos].EditorId == Id) {
            Activate(Pos);
            return;
        }
    }
    FHost.Error(L"TEditorModel::SetCurrent: no editor " + std::to_wstring(Id));
}

void TEditorModel::Activate(size_t Pos)
{
    if (Pos >= FWindows.size()) {
        FHost.Error(L"TEditorModel::Activate: no window at " + std::to_wstring(Pos));
        return;
    }
    const intptr_t Before = CurrentEditorWindow();
    // The host keeps the others in their order.
    std::rotate(FWindows.begin() + static_cast<std::ptrdiff_t>(Pos),
                FWindows.begin() + static_cast<std::ptrdiff_t>(Pos) + 1, FWindows.end());
    FocusMoved(Before);
}

TEditor* TEditorModel::Find(intptr_t Id)
{
    if (Id == far3::CURRENT_EDITOR) {
        // The host's current editor is the topmost editor window, also while
        // the panels, the desktop or a dialog is the current window.
        const auto Top = std::find_if(FWindows.rbegin(), FWindows.rend(),
                                      [](const THostWindow& W) { return W.Type == far3::WTYPE_EDITOR; });
        if (Top == FWindows.rend())
            return nullptr;
        Id = Top->EditorId;
    }
    for (const auto& Editor : FEditors)
        if (Editor->Id == Id)
            return Editor.get();
    return nullptr;
}

TEditor& TEditorModel::Current()
{
    TEditor* Editor = Find(far3::CURRENT_EDITOR);
    if (!Editor)
        throw std::logic_error("the simulated host has no editor open");
    return *Editor;
}

uintptr_t TEditorModel::CurState(const TEditor& Editor) const
{
    const DWORD Build = FHost.FarVersion().Build;
    bool Modified, Saved;
    if (Build < 6562) {
        Modified = Editor.Unsaved;
        Saved = !Editor.Unsaved;
    } else if (Build < 6570) {
        Modified = Editor.Unsaved;
        Saved = Editor.WrittenOnce;
    } else {
        Modified = Editor.WrittenOnce;
        Saved = !Editor.Unsaved;
    }
    uintptr_t State = 0;
    if (Modified)
        State |= far3::ECSTATE_MODIFIED;
    if (Saved)
        State |= far3::ECSTATE_SAVED;
    if (Editor.Locked)
        State |= far3::ECSTATE_LOCKED;
    return State;
}

intptr_t TEditorModel::Control(intptr_t EditorId, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    const char* Name = EditorCommandName(Command);
    if (::GetCurrentThreadId() != FHost.MainThreadId())
        FHost.Error(L"EditorControl(" + Widen(Name) + L") called from a thread other than the host's main thread");
    if (FHost.IsFailing(Name))
        return 0;
    if (BeforeCommand && !BeforeCommand(Command, Param1, Param2))
        return 0;
    TEditor* Editor = Find(EditorId);
    if (!Editor) {
        // A macro may call the plugin where no editor is open: the host just
        // refuses. Naming an editor that does not exist is a plugin's fault.
        if (EditorId != far3::CURRENT_EDITOR)
            FHost.Error(L"EditorControl(" + Widen(Name) + L"): no editor with id " + std::to_wstring(EditorId));
        return 0;
    }
    switch (Command) {
    case far3::ECTL_GETINFO: return GetInfo(*Editor, Param2);
    case far3::ECTL_GETSTRING: return GetString(*Editor, Param2);
    case far3::ECTL_SETPOSITION: return SetPosition(*Editor, Param2);
    case far3::ECTL_GETFILENAME: return GetFileName(*Editor, Param1, Param2);
    case far3::ECTL_REDRAW: ++RedrawCount; return TRUE;
    case far3::ECTL_SUBSCRIBECHANGEEVENT:
    case far3::ECTL_UNSUBSCRIBECHANGEEVENT: {
        const auto* Subscribe = static_cast<const far3::EditorSubscribeChangeEvent*>(Param2);
        if (!Subscribe ||
            !FHost.CheckStructSize(Subscribe->StructSize, sizeof(far3::EditorSubscribeChangeEvent),
                                   "EditorSubscribeChangeEvent", Name) ||
            !FHost.CheckPluginId(&Subscribe->PluginId, Name))
            return FALSE;
        if (Command == far3::ECTL_UNSUBSCRIBECHANGEEVENT)
            FReported.erase(Editor->Id);
        else if (!FReported.count(Editor->Id))
            FReported[Editor->Id] = LineHashes(Editor->Lines);
        return TRUE;
    }
    case far3::ECTL_ADDSESSIONBOOKMARK:
        // The host takes no parameters here: the bookmark is the cursor.
        Editor->SessionBookmarks.push_back({Editor->CurLine, Editor->CurPos, Editor->TopScreenLine, Editor->LeftPos});
        return TRUE;
    default:
        FHost.Error(L"EditorControl: command " + std::to_wstring(static_cast<unsigned>(Command)) +
                    L" is not simulated");
        return 0;
    }
}

intptr_t TEditorModel::GetInfo(TEditor& Editor, void* Param2)
{
    if (FInChange)
        return FALSE;
    auto* Info = static_cast<far3::EditorInfo*>(Param2);
    if (!Info) {
        FHost.Error(L"ECTL_GETINFO: no EditorInfo");
        return FALSE;
    }
    if (!FHost.CheckStructSize(Info->StructSize, far3::EditorInfoMinSize, "EditorInfo", "ECTL_GETINFO"))
        return FALSE;
    const TEditorLine& Line = Editor.Lines[static_cast<size_t>(Editor.CurLine)];
    far3::EditorInfo Full{};
    Full.StructSize = Info->StructSize;
    Full.EditorID = Editor.Id;
    Full.WindowSizeX = Editor.WindowSizeX;
    Full.WindowSizeY = Editor.WindowSizeY;
    Full.TotalLines = static_cast<intptr_t>(Editor.Lines.size());
    Full.CurLine = Editor.CurLine;
    Full.CurPos = Editor.CurPos;
    Full.CurTabPos = RealToTab(Line.Text, Editor.CurPos, Editor.TabSize);
    Full.TopScreenLine = Editor.TopScreenLine;
    Full.LeftPos = Editor.LeftPos;
    Full.Overtype = Editor.Overtype;
    Full.BlockType = Editor.Block.Type;
    Full.BlockStartLine = Editor.Block.Type == far3::BTYPE_NONE ? 0 : Editor.Block.StartLine;
    Full.TabSize = Editor.TabSize;
    Full.CurState = CurState(Editor);
    Full.CodePage = Editor.CodePage;
    Full.WindowArea = RECT{0, 1, static_cast<LONG>(Editor.WindowSizeX - 1), static_cast<LONG>(Editor.WindowSizeY)};
    Full.ClientArea = Full.WindowArea;
    // Only what the plugin's record has room for: an older record ends
    // before WindowArea or ClientArea.
    const size_t Size = std::min(Info->StructSize, sizeof(Full));
    std::memcpy(static_cast<void*>(Info), &Full, Size);
    return TRUE;
}

intptr_t TEditorModel::GetString(TEditor& Editor, void* Param2)
{
    auto* Get = static_cast<far3::EditorGetString*>(Param2);
    if (!Get) {
        FHost.Error(L"ECTL_GETSTRING: no EditorGetString");
        return FALSE;
    }
    if (!FHost.CheckStructSize(Get->StructSize, sizeof(far3::EditorGetString), "EditorGetString", "ECTL_GETSTRING"))
        return FALSE;
    const intptr_t Number = Get->StringNumber == -1 ? Editor.CurLine : Get->StringNumber;
    if (Number < 0 || Number >= static_cast<intptr_t>(Editor.Lines.size())) {
        FHost.Error(L"ECTL_GETSTRING: line " + std::to_wstring(Get->StringNumber) + L" is out of range (" +
                    std::to_wstring(Editor.Lines.size()) + L" lines)");
        return FALSE;
    }
    const TEditorLine& Line = Editor.Lines[static_cast<size_t>(Number)];
    // Pointers into the editor's own buffer, as the host hands them out.
    Get->StringText = Line.Text.c_str();
    Get->StringLength = static_cast<intptr_t>(Line.Text.size());
    Get->StringEOL = Line.Eol.c_str();
    Editor.LineSelection(Number, Get->SelStart, Get->SelEnd);
    return TRUE;
}

intptr_t TEditorModel::SetPosition(TEditor& Editor, void* Param2)
{
    const auto* Pos = static_cast<const far3::EditorSetPosition*>(Param2);
    if (!Pos) {
        FHost.Error(L"ECTL_SETPOSITION: no EditorSetPosition");
        return FALSE;
    }
    if (!FHost.CheckStructSize(Pos->StructSize, sizeof(far3::EditorSetPosition), "EditorSetPosition",
                               "ECTL_SETPOSITION"))
        return FALSE;
    PositionRequests.push_back(*Pos);
    // -1 in a field leaves that property as it is.
    if (Pos->CurLine >= 0)
        Editor.CurLine = std::min(Pos->CurLine, static_cast<intptr_t>(Editor.Lines.size()) - 1);
    const std::wstring& Text = Editor.Lines[static_cast<size_t>(Editor.CurLine)].Text;
    if (Pos->CurTabPos >= 0)
        Editor.CurPos = TabToReal(Text, Pos->CurTabPos, Editor.TabSize);
    if (Pos->CurPos >= 0)
        Editor.CurPos = Pos->CurPos;
    // The host takes a top line only when it does not hide the cursor line
    // above the window.
    if (Pos->TopScreenLine >= 0 && Pos->TopScreenLine <= Editor.CurLine)
        Editor.TopScreenLine = Pos->TopScreenLine;
    if (Editor.CurLine < Editor.TopScreenLine)
        Editor.TopScreenLine = Editor.CurLine;
    if (Editor.CurLine >= Editor.TopScreenLine + Editor.WindowSizeY)
        Editor.TopScreenLine = Editor.CurLine - Editor.WindowSizeY + 1;
    if (Pos->LeftPos >= 0)
        Editor.LeftPos = Pos->LeftPos;
    if (Pos->Overtype >= 0)
        Editor.Overtype = Pos->Overtype != 0;
    return TRUE;
}

intptr_t TEditorModel::GetFileName(TEditor& Editor, intptr_t Param1, void* Param2)
{
    // The answer is always the size needed, terminator included; the name is
    // copied only when the buffer is big enough for all of it.
    const intptr_t Length = static_cast<intptr_t>(Editor.FileName.size());
    if (Param2 && Param1 > Length) {
        auto* Buffer = static_cast<wchar_t*>(Param2);
        std::copy(Editor.FileName.begin(), Editor.FileName.end(), Buffer);
        Buffer[Length] = L'\0';
    }
    return Length + 1;
}
