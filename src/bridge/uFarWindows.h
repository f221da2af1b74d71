// The host's window list: which editors are open, whether the current window
// is an editor, and bringing an editor to the front. A host refusal is
// reported by the result (false, an empty list), never by an exception.
// docs/far-editor-windows.md says how the real host answers.
#pragma once

#include "bridge/uFarModule.h"

#include <string>
#include <vector>

struct TFarWindow {
    intptr_t Pos = -1; // changes whenever a window comes to the front
    far3::WINDOWINFO_TYPE Type = far3::WTYPE_UNKNOWN;
    intptr_t Id = 0;   // an editor's EditorID
    std::wstring Name; // an editor's full file name
    bool Current = false;
    bool Modified = false; // an editor with unsaved changes
};

class TFarWindows : public TFarCommonModule {
public:
    TFarWindows() = delete;

    // 0 when the host refuses.
    static intptr_t Count();
    // Pos -1 is the current window.
    static bool GetWindow(intptr_t Pos, TFarWindow& Window);
    // The editor windows in the host's order: the one used last is last.
    static std::vector<TFarWindow> Editors();
    // The editor that has FileName, the one used last where several have it.
    static bool FindEditor(const std::wstring& FileName, TFarWindow& Window);
    // Makes an editor the current window at once, as the host does without
    // ACTL_COMMIT; EditorControl(-1) reaches it from then on.
    static bool ActivateEditor(intptr_t EditorId);
    // Only this tells: EditorControl(-1) reaches the topmost editor also
    // while the panels or a dialog are the current window.
    static bool CurrentIsEditor();

    // Whether two names are one file as the host compares them: full paths,
    // either slash, without regard to case.
    static bool SameFile(const std::wstring& A, const std::wstring& B);
};
