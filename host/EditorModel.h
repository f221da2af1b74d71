// The simulated host's editors: lines with their own line ends, cursor, top
// screen line, blocks, state bits and file name, answering EditorControl as
// the real host does; the window list they live in with the desktop and the
// panels; and the Editor service that opens files into them
// (EditorFiles.cpp). docs/far-editor-windows.md says what the real host does.
#pragma once

#include "bridge/FarApi.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class THostContext;

struct TEditorLine {
    std::wstring Text;
    std::wstring Eol; // "\r\n", "\n", "\r", or "" on the last line
};

// A block as the user marked it. A stream block runs from (StartLine,
// StartPos) up to, not including, (EndLine, EndPos). A column block covers
// the columns [StartPos, EndPos) of every line from StartLine to EndLine.
struct TEditorBlock {
    far3::EDITOR_BLOCK_TYPES Type = far3::BTYPE_NONE;
    intptr_t StartLine = 0, StartPos = 0;
    intptr_t EndLine = 0, EndPos = 0;
};

// Where the cursor was when a session bookmark was added.
struct TSessionBookmark {
    intptr_t Line = 0, Pos = 0, TopScreenLine = 0, LeftPos = 0;
};

struct TEditor {
    intptr_t Id = 0;
    std::wstring FileName;
    std::vector<TEditorLine> Lines;

    intptr_t CurLine = 0, CurPos = 0, TopScreenLine = 0, LeftPos = 0;
    bool Overtype = false;
    intptr_t WindowSizeX = 80, WindowSizeY = 23;
    intptr_t TabSize = 8;
    uintptr_t CodePage = 65001;
    TEditorBlock Block;
    // In the order they were added, as the host's "back" (BM.Pop) takes
    // them from the end.
    std::vector<TSessionBookmark> SessionBookmarks;

    // What the state bits are made of; which bit says what depends on the
    // host build (see TEditorModel::CurState).
    bool Unsaved = false;     // the buffer differs from the file
    bool WrittenOnce = false; // the file was written during this session
    bool Locked = false;

    // Replaces the text; lines end at "\r\n", "\n" or "\r", and the last line
    // has no line end (a text ending in a break has an empty last line).
    void SetText(const std::wstring& Text);
    std::wstring Text() const;

    void SelectStream(intptr_t StartLine, intptr_t StartPos, intptr_t EndLine, intptr_t EndPos);
    void SelectColumn(intptr_t StartLine, intptr_t StartPos, intptr_t EndLine, intptr_t EndPos);
    void Unselect() { Block = TEditorBlock{}; }

    // The selected part of a line in the host's terms: SelStart -1 when the
    // line holds none; SelEnd -1 when it runs through the line break.
    void LineSelection(intptr_t Line, intptr_t& SelStart, intptr_t& SelEnd) const;
};

// A window of the host's list other than a dialog.
struct THostWindow {
    far3::WINDOWINFO_TYPE Type = far3::WTYPE_DESKTOP;
    intptr_t EditorId = -1; // editors only
};

class TEditorModel {
public:
    explicit TEditorModel(THostContext& Host);
    TEditorModel(const TEditorModel&) = delete;
    TEditorModel& operator=(const TEditorModel&) = delete;

    // Opens an editor on Text, which becomes the current window. Ids count
    // from 0 as the host's do.
    TEditor& Open(const std::wstring& FileName, const std::wstring& Text);
    // The Editor service: a file from disk into a new editor, or an editor
    // that has it to the front, by the open mode of Flags. Answers an
    // EDITOR_EXITCODE.
    intptr_t OpenFile(const wchar_t* FileName, far3::EDITOR_FLAGS Flags, intptr_t StartLine, intptr_t StartChar,
                      uintptr_t CodePage);
    // Closes an editor, as its user does; the host remembers where its
    // cursor was, for the next open of the file at StartLine -1.
    void Close(intptr_t Id);
    // The user saves an editor (F2), or under another name (Shift+F2 with
    // SaveAs). EE_SAVE comes first, naming the file about to be written,
    // while the editor and the disk still have the old name and bytes;
    // then the text goes to disk in the editor's code page (UTF-8 without
    // a byte-order mark, UTF-16 with one) and line ends. False when the
    // file could not be written.
    bool Save(intptr_t Id, const std::wstring& SaveAs = std::wstring());
    // Makes an editor the current window.
    void SetCurrent(intptr_t Id);
    // -1 is the topmost editor of the window list, whatever window is
    // current; null when there is no such editor.
    TEditor* Find(intptr_t Id);
    TEditor& Current();
    size_t Count() const { return FEditors.size(); }

    // The window list without the dialogs, in the host's order: the current
    // window last. It starts with the desktop and the panels.
    const std::vector<THostWindow>& Windows() const { return FWindows; }
    // Makes the window at Pos current: it moves to the end of the list.
    void Activate(size_t Pos);

    // The state bits the configured host build reports. Their meaning
    // changed twice: before 6562 MODIFIED is "unsaved changes" and SAVED
    // "none"; from 6562 SAVED is "written at least once"; from 6570 MODIFIED
    // is "written at least once" and SAVED "no unsaved changes".
    uintptr_t CurState(const TEditor& Editor) const;

    // Every EditorSetPosition the plugin sent, as sent.
    std::vector<far3::EditorSetPosition> PositionRequests;
    size_t RedrawCount = 0;

    // Runs before every command once the call is recorded; returning false
    // makes the host refuse that one call. Lets a test refuse a single line
    // or change the editor between two calls.
    std::function<bool(far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)> BeforeCommand;

    // What the host tells a plugin that subscribed to an editor's changes
    // (ECTL_SUBSCRIBECHANGEEVENT): EE_CHANGE for each line changed, added
    // or deleted since the last report, however the text was changed. The
    // real host reports at the change itself; no plugin code runs between
    // the two, as long as this comes before every call into the plugin.
    void ReportChanges();
    // F8 and Shift+F8: the same bytes read in another code page. The
    // characters change and the host says nothing of it (measured).
    void Recode(TEditor& Editor, uintptr_t CodePage, const std::wstring& Text);

    // The EditorControl service.
    intptr_t Control(intptr_t EditorId, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2);

private:
    // The editor that is the current window, or -1 (the panels, say).
    intptr_t CurrentEditorWindow() const;
    void Event(far3::EDITOR_EVENTS Event, intptr_t Id, void* Param = nullptr);
    // Focus moves from the editor that was the current window (-1: none)
    // to the one that is now.
    void FocusMoved(intptr_t Before);

    intptr_t GetInfo(TEditor& Editor, void* Param2);
    intptr_t GetString(TEditor& Editor, void* Param2);
    intptr_t SetPosition(TEditor& Editor, void* Param2);
    intptr_t GetFileName(TEditor& Editor, intptr_t Param1, void* Param2);

    // The parts of OpenFile (EditorFiles.cpp).
    TEditor* FindByName(const std::wstring& FullName);
    intptr_t OpenNew(intptr_t Id, const std::wstring& FullName, intptr_t StartLine, intptr_t StartChar,
                     uintptr_t CodePage);
    bool Reload(TEditor& Editor);
    TEditor& Add(intptr_t Id, const std::wstring& FileName);

    THostContext& FHost;
    std::vector<std::unique_ptr<TEditor>> FEditors;
    // The subscribed editors' lines as the last EE_CHANGE left them.
    std::map<intptr_t, std::vector<std::size_t>> FReported;
    // ECTL_GETINFO fails inside EE_CHANGE (measured).
    bool FInChange = false;
    std::vector<THostWindow> FWindows;
    intptr_t FNextId = 0;
    // Where each file's editor was left, by the file's name in capitals.
    std::map<std::wstring, TSessionBookmark> FSavedPositions;
};

// A file's name as the host compares names: its full path, in capitals.
std::wstring HostNameKey(const std::wstring& FullName);

const char* EditorCommandName(far3::EDITOR_CONTROL_COMMANDS Command);
