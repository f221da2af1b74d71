// The simulated host's editors: lines with their own line ends, cursor, top
// screen line, blocks, state bits and file name, answering EditorControl as
// the real host does.
#pragma once

#include "bridge/FarApi.h"

#include <functional>
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

class TEditorModel {
public:
    explicit TEditorModel(THostContext& Host) : FHost(Host) {}
    TEditorModel(const TEditorModel&) = delete;
    TEditorModel& operator=(const TEditorModel&) = delete;

    // Opens an editor, which becomes the current one. Ids count from 0 as
    // the host's do.
    TEditor& Open(const std::wstring& FileName, const std::wstring& Text);
    void Close(intptr_t Id);
    void SetCurrent(intptr_t Id);
    // -1 is the current editor; null when there is no such editor.
    TEditor* Find(intptr_t Id);
    TEditor& Current();
    size_t Count() const { return FEditors.size(); }

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

    // The EditorControl service.
    intptr_t Control(intptr_t EditorId, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2);

private:
    intptr_t GetInfo(TEditor& Editor, void* Param2);
    intptr_t GetString(TEditor& Editor, void* Param2);
    intptr_t SetPosition(TEditor& Editor, void* Param2);
    intptr_t GetFileName(TEditor& Editor, intptr_t Param1, void* Param2);

    THostContext& FHost;
    std::vector<std::unique_ptr<TEditor>> FEditors;
    intptr_t FCurrent = -1;
    intptr_t FNextId = 0;
};

const char* EditorCommandName(far3::EDITOR_CONTROL_COMMANDS Command);
