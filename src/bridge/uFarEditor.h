// Reads the state, file name, lines and selection of a host editor and moves
// its cursor. Class-level operations only; a host refusal is reported by the
// result (false, empty outputs), never by an exception.
#pragma once

#include "bridge/uFarModule.h"

#include <string>
#include <string_view>
#include <vector>

// The buffer the editor's file name is read into.
using TFarCharArray = std::vector<wchar_t>;

// What came of putting the cursor into a file's editor.
enum class TEditorOpen {
    Failed,   // the host refused or the user cancelled; the host said why
    Missing,  // no editor has the file and it is not on disk
    Opened,   // in a new editor
    Existing, // in the editor that had it, now in front
};

class TFarEditor : public TFarCommonModule {
public:
    TFarEditor() = delete;

    // EditorId -1 is the host's current editor. Lines and positions count
    // from 0.
    static bool GetFileName(intptr_t EditorId, std::wstring& FileName);
    static bool GetInfo(intptr_t EditorId, far3::EditorInfo& Info);
    // One line: its text without the line end, the line end itself, and the
    // selected part as a 1-based start and a length (SelStart 0: none).
    // SelToEnd: the selection runs through the line break.
    static bool GetStringInfo(intptr_t EditorId, intptr_t LineIndex, std::wstring& Text, std::wstring& Eol,
                              intptr_t& SelStart, intptr_t& SelLength, bool& SelToEnd);
    static bool GetString(intptr_t EditorId, intptr_t LineIndex, std::wstring& Text);
    // The text of a line where the host keeps it, without a copy: valid
    // only until the next call to the editor.
    static bool GetStringView(intptr_t EditorId, intptr_t LineIndex, std::wstring_view& Text);
    // The selected text: each part followed by its line's own line end when
    // the selection runs through it, and always in a column block.
    static bool GetSelection(intptr_t EditorId, std::wstring& Text, intptr_t& BlockType);
    static bool GetSelectedText(intptr_t EditorId, std::wstring& Text);

    // -1 in any value leaves that property of the editor as it is.
    static bool SetPosition(intptr_t EditorId, intptr_t Line, intptr_t Pos, intptr_t TabPos, intptr_t TopScreenLine,
                            intptr_t LeftPos, intptr_t Overtype);
    // Moves the cursor and scrolls so that five lines stay visible above it.
    static bool GoTo(intptr_t EditorId, intptr_t Line, intptr_t Pos);
    // The top line that leaves five lines above Line, as GoTo scrolls (the
    // first line near the start).
    static intptr_t TopLineAbove(intptr_t Line);
    // Puts the cursor at Line, Pos (from 0) of FileName's editor, with
    // TopScreenLine the first line on the screen (-1: the host's choice, not
    // below Line), bringing the editor that has the file to the front or
    // opening it in a new one. The editor is then the current one for the
    // rest of the call into the plugin; EditorId gets its id (-1 unless
    // Opened or Existing). Call it from OpenW itself: the host switches at
    // once and the cursor is set in the same call.
    static TEditorOpen OpenAt(const std::wstring& FileName, intptr_t Line, intptr_t Pos, intptr_t TopScreenLine,
                              intptr_t& EditorId);
    static bool GoToLine(intptr_t EditorId, intptr_t Line);
    // A session bookmark at the cursor, where the host's own bookmark keys
    // (and a "back" macro) return.
    static bool AddSessionBookmark(intptr_t EditorId);
    // From now on the host sends the plugin EE_CHANGE for every change of
    // the editor's text.
    static bool SubscribeChanges(intptr_t EditorId);

    // Whether the buffer may differ from the file on disk. Host builds
    // disagree on what ECSTATE_MODIFIED and ECSTATE_SAVED mean; only "saved
    // and not modified" means a clean buffer on every build.
    static bool HasUnsavedChanges(const far3::EditorInfo& Info);
};
