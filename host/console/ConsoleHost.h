// The console host: the simulated host's editor, menus, dialogs and message
// boxes drawn for a person and fed by the keyboard. The plugin runs against
// the same models the tests check; this class only draws them and turns
// keys into what the host does with them.
//
// Drawing works as on a real console: each window is drawn over what is on
// the screen, a modal window puts back what it covered when it closes, and
// SaveScreen/RestoreScreen keep and put back the picture itself, so a
// progress window stays until the plugin restores the screen.
#pragma once

#include "EditorView.h"
#include "FarHost.h"
#include "Input.h"
#include "Screen.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class TConsoleHost : public THostFrontEnd, public TDialogInput {
public:
    // Output is the console to draw on, or INVALID_HANDLE_VALUE to keep the
    // picture in memory only (scripted mode). Print receives the screens
    // that the input asks to print.
    TConsoleHost(TFarHost& Host, TInputSource& Input, HANDLE Output, SHORT Width, SHORT Height,
                 std::function<void(const std::wstring&)> Print);
    ~TConsoleHost() override;

    // Edits until the person quits (F10, Esc) or the input runs out.
    void Run(TEditorView& View);
    const TScreen& Screen() const { return FScreen; }

    // THostFrontEnd
    intptr_t Message(const TMessageBox& Box) override;
    void ScreenSaved(HANDLE Screen) override;
    void ScreenRestored(HANDLE Screen, bool Restore) override;

    // TDialogInput: the engine asks only with the dialog that waits.
    bool Next(TDialogAction&) override { return false; }
    bool NextFor(const THostDialog& Dialog, TDialogAction& Action) override;

private:
    // The next event; Draw paints the screen first, and again whenever the
    // plugin's synchro events were delivered meanwhile. Stop ends the wait
    // early (as a pause of no length). False when the input has ended.
    bool NextEvent(TInputEvent& Event, const std::function<void()>& Draw, const std::function<bool()>& Stop = {});
    void Show();
    void Pause(DWORD Milliseconds);
    // The next key for a box or menu drawn over Under; a resize or a pause
    // is dealt with on the way (Under is taken again after a resize).
    // False when the input has ended.
    bool NextKey(KEY_EVENT_RECORD& Key, TScreen::TSnapshot& Under, const std::function<void()>& Draw);
    // A new console size: the picture, the editor window and, unless a
    // dialog's engine does it, the host.
    void Resize(SHORT Width, SHORT Height, bool TellHost);
    void DrawEditor();
    // The whole screen anew: the editor, and the running dialogs over it.
    void Repaint();
    void DrawDialogs();
    void DropClosedDialogs();

    // The host's own windows.
    int Menu(const std::wstring& Title, const std::vector<std::wstring>& Items);
    intptr_t Ask(const TMessageBox& Box, bool& InputEnded);
    void PluginsMenu();
    void ConfigMenu();
    bool SaveFile();
    bool MayQuit();

    TFarHost& FHost;
    TInputSource& FInput;
    HANDLE FOutput;
    std::function<void(const std::wstring&)> FPrint;
    TScreen FScreen;
    TEditorView* FView = nullptr;

    // Running dialogs, outermost first, and the picture under the first.
    std::vector<HANDLE> FDialogs;
    TScreen::TSnapshot FUnderDialogs;
    std::map<HANDLE, TScreen::TSnapshot> FSaved;

    // What the console shows now, to write only what changed.
    std::vector<CHAR_INFO> FShown;
    COORD FShownCursor{-1, -1};
    bool FShownCursorVisible = true;
};
