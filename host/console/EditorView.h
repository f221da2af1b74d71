// The editor as a person sees and uses it: the status line, the text with
// the cursor and the block, the key bar; moving, typing, selecting with
// Shift, saving. It works on the simulated host's own editor model, so the
// plugin sees every change.
#pragma once

#include "EditorModel.h"
#include "Screen.h"

#include <string>

class TEditorView {
public:
    explicit TEditorView(TEditor& Editor) : FEditor(Editor) {}

    // Reads FileName into the editor (a file that does not exist opens
    // empty); false with Error when it cannot be read.
    bool Load(std::wstring& Error);
    // Writes the text as UTF-8 with the lines' own line ends (and the byte
    // order mark the file had); false with Error when it cannot be written.
    bool Save(std::wstring& Error);

    // The editor's window: the screen less the status line and the key bar.
    void Layout(SHORT Width, SHORT Height);
    void Draw(TScreen& Screen) const;
    // Movement, selection and editing keys; false for a key the editor
    // does not take (the host's own keys).
    bool Key(const KEY_EVENT_RECORD& Key);

    TEditor& Editor() { return FEditor; }

private:
    const std::wstring& LineText(intptr_t Line) const;
    intptr_t LineCount() const { return static_cast<intptr_t>(FEditor.Lines.size()); }
    intptr_t Column(intptr_t Line, intptr_t Pos) const;
    intptr_t PosAt(intptr_t Line, intptr_t Column) const;
    void MoveTo(intptr_t Line, intptr_t Pos, bool Select, bool KeepColumn = false);
    void ScrollToCursor();
    void Changed();
    std::wstring NewLineEnd() const;
    void Insert(wchar_t Char);
    void SplitLine();
    void DeleteBack();
    void DeleteForward();

    TEditor& FEditor;
    bool FBom = false;
    // The column Up and Down keep to, across shorter lines.
    intptr_t FWantColumn = 0;
};
