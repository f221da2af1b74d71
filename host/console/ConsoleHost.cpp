#include "ConsoleHost.h"

#include "Paint.h"

#include <algorithm>

namespace {

constexpr DWORD ShiftKeys = SHIFT_PRESSED;
constexpr DWORD CtrlKeys = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
constexpr DWORD AltKeys = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;

// The key with exactly the modifiers named (Shift, Ctrl, Alt in any hand).
bool IsKey(const KEY_EVENT_RECORD& Key, WORD Vk, DWORD Modifiers = 0)
{
    const DWORD State = Key.dwControlKeyState;
    const DWORD Held = ((State & ShiftKeys) ? ShiftKeys : 0) | ((State & CtrlKeys) ? CtrlKeys : 0) |
                       ((State & AltKeys) ? AltKeys : 0);
    return Key.wVirtualKeyCode == Vk && Held == Modifiers;
}

wchar_t UpperChar(wchar_t Char)
{
    ::CharUpperBuffW(&Char, 1);
    return Char;
}

// The index of the entry whose hotkey is the key's character, or -1.
int HotKeyIndex(const std::vector<std::wstring>& Texts, const KEY_EVENT_RECORD& Key)
{
    if (Key.uChar.UnicodeChar <= L' ' || (Key.dwControlKeyState & CtrlKeys))
        return -1;
    const wchar_t Char = UpperChar(Key.uChar.UnicodeChar);
    for (size_t I = 0; I < Texts.size(); ++I)
        if (paint::HotKey(Texts[I]) == Char)
            return static_cast<int>(I);
    return -1;
}

} // namespace

TConsoleHost::TConsoleHost(TFarHost& Host, TInputSource& Input, HANDLE Output, SHORT Width, SHORT Height,
                           std::function<void(const std::wstring&)> Print)
    : FHost(Host), FInput(Input), FOutput(Output), FPrint(std::move(Print)), FScreen(Width, Height)
{
}

TConsoleHost::~TConsoleHost()
{
    // Leave the console blank, its cursor at the top, for the shell.
    if (FOutput == INVALID_HANDLE_VALUE)
        return;
    FScreen.Resize(FScreen.Width(), FScreen.Height());
    FScreen.SetCursor(0, 0);
    Show();
}

void TConsoleHost::Show()
{
    if (FOutput == INVALID_HANDLE_VALUE)
        return;
    const std::vector<CHAR_INFO>& Cells = FScreen.Cells();
    const bool Same = FShown.size() == Cells.size() && std::equal(Cells.begin(), Cells.end(), FShown.begin(),
                                                                  [](const CHAR_INFO& A, const CHAR_INFO& B) {
                                                                      return A.Char.UnicodeChar == B.Char.UnicodeChar &&
                                                                             A.Attributes == B.Attributes;
                                                                  });
    // The picture goes into the console's window, wherever a scrolled
    // buffer has it.
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    ::GetConsoleScreenBufferInfo(FOutput, &Info);
    const SHORT Left = Info.srWindow.Left, Top = Info.srWindow.Top;
    if (!Same) {
        SMALL_RECT Region{Left, Top, static_cast<SHORT>(Left + FScreen.Width() - 1),
                          static_cast<SHORT>(Top + FScreen.Height() - 1)};
        ::WriteConsoleOutputW(FOutput, Cells.data(), COORD{FScreen.Width(), FScreen.Height()}, COORD{0, 0}, &Region);
        FShown = Cells;
    }
    const COORD Cursor = FScreen.Cursor();
    const bool Visible = FScreen.CursorVisible();
    if (!Same || Cursor.X != FShownCursor.X || Cursor.Y != FShownCursor.Y)
        ::SetConsoleCursorPosition(FOutput,
                                   COORD{static_cast<SHORT>(Left + Cursor.X), static_cast<SHORT>(Top + Cursor.Y)});
    if (Visible != FShownCursorVisible) {
        CONSOLE_CURSOR_INFO Info{25, Visible ? TRUE : FALSE};
        ::SetConsoleCursorInfo(FOutput, &Info);
    }
    FShownCursor = Cursor;
    FShownCursorVisible = Visible;
}

bool TConsoleHost::NextEvent(TInputEvent& Event, const std::function<void()>& Draw, const std::function<bool()>& Stop)
{
    const bool Console = FOutput != INVALID_HANDLE_VALUE;
    for (;;) {
        Draw();
        Show();
        for (;;) {
            if (FInput.Read(Event, Console ? 50 : 0)) {
                if (Event.Kind != TInputEvent::Screen)
                    return true;
                if (FPrint)
                    FPrint(FScreen.Dump() + L"\f\n");
                continue;
            }
            if (FInput.Ended())
                return false;
            // While the host waits for a key it delivers what the plugin's
            // threads queued for its main thread.
            if (FHost.DeliverSynchroEvents() > 0)
                break;
        }
        if (Stop && Stop()) {
            Event = TInputEvent{};
            Event.Kind = TInputEvent::Wait;
            return true;
        }
    }
}

void TConsoleHost::Pause(DWORD Milliseconds)
{
    const ULONGLONG End = ::GetTickCount64() + Milliseconds;
    for (;;) {
        FHost.DeliverSynchroEvents();
        const ULONGLONG Now = ::GetTickCount64();
        if (Now >= End)
            return;
        FHost.WaitForSynchroEvent(static_cast<DWORD>(End - Now));
    }
}

void TConsoleHost::Resize(SHORT Width, SHORT Height, bool TellHost)
{
    FScreen.Resize(Width, Height);
    FShown.clear();
    if (FView)
        FView->Layout(Width, Height);
    if (TellHost)
        FHost.SetConsoleSize(Width, Height);
    Repaint();
}

void TConsoleHost::Repaint()
{
    DrawEditor();
    FUnderDialogs = FScreen.Save();
    for (HANDLE Handle : FDialogs)
        if (const THostDialog* Dialog = FHost.FindDialog(Handle))
            paint::Dialog(FScreen, *Dialog);
}

void TConsoleHost::DrawEditor()
{
    if (FView)
        FView->Draw(FScreen);
}

// A dialog whose run has ended is gone from the screen: what it covered
// comes back, with the dialogs still running drawn over it.
void TConsoleHost::DropClosedDialogs()
{
    const auto Closed = [this](HANDLE Handle) {
        const THostDialog* Dialog = FHost.FindDialog(Handle);
        return !Dialog || Dialog->State != THostDialogState::Running;
    };
    const auto From = std::remove_if(FDialogs.begin(), FDialogs.end(), Closed);
    if (From == FDialogs.end())
        return;
    FDialogs.erase(From, FDialogs.end());
    DrawDialogs();
}

void TConsoleHost::DrawDialogs()
{
    if (!FScreen.Restore(FUnderDialogs)) {
        Repaint();
        return;
    }
    for (HANDLE Handle : FDialogs)
        if (const THostDialog* Dialog = FHost.FindDialog(Handle))
            paint::Dialog(FScreen, *Dialog);
}

bool TConsoleHost::NextFor(const THostDialog& Dialog, TDialogAction& Action)
{
    DropClosedDialogs();
    if (std::find(FDialogs.begin(), FDialogs.end(), Dialog.Handle) == FDialogs.end()) {
        if (FDialogs.empty())
            FUnderDialogs = FScreen.Save();
        FDialogs.push_back(Dialog.Handle);
    }
    TInputEvent Event;
    if (!NextEvent(
            Event, [this] { DrawDialogs(); }, [&Dialog] { return Dialog.Closing; }))
        return false;
    Action = TDialogAction{};
    switch (Event.Kind) {
    case TInputEvent::Key:
        Action.Kind = TDialogAction::Key;
        Action.KeyEvent = Event.KeyEvent;
        break;
    case TInputEvent::Resize:
        // The engine tells the host and the dialog.
        Resize(Event.Width, Event.Height, false);
        Action.Kind = TDialogAction::Resize;
        Action.Width = Event.Width;
        Action.Height = Event.Height;
        break;
    default:
        Action.Kind = TDialogAction::Wait;
        Action.Milliseconds = Event.Milliseconds;
        break;
    }
    return true;
}

intptr_t TConsoleHost::Message(const TMessageBox& Box)
{
    DropClosedDialogs();
    if (Box.Buttons.empty()) {
        paint::Message(FScreen, Box, -1);
        Show();
        return -1;
    }
    bool InputEnded = false;
    const intptr_t Answer = Ask(Box, InputEnded);
    if (InputEnded)
        FHost.Error(L"the input ended while a message box waited for an answer");
    return Answer;
}

// The plugin saves the picture it is about to draw over (a progress
// window), and later puts it back.
void TConsoleHost::ScreenSaved(HANDLE Screen)
{
    DropClosedDialogs();
    FSaved[Screen] = FScreen.Save();
}

void TConsoleHost::ScreenRestored(HANDLE Screen, bool Restore)
{
    if (!Screen) {
        Repaint();
        Show();
        return;
    }
    const auto Saved = FSaved.find(Screen);
    if (Saved == FSaved.end())
        return;
    // A picture of another size is stale: the console was resized since.
    if (Restore && !FScreen.Restore(Saved->second))
        Repaint();
    FSaved.erase(Saved);
    Show();
}

bool TConsoleHost::NextKey(KEY_EVENT_RECORD& Key, TScreen::TSnapshot& Under, const std::function<void()>& Draw)
{
    for (;;) {
        TInputEvent Event;
        if (!NextEvent(Event, Draw))
            return false;
        if (Event.Kind == TInputEvent::Resize) {
            Resize(Event.Width, Event.Height, true);
            Under = FScreen.Save();
            continue;
        }
        if (Event.Kind == TInputEvent::Wait) {
            Pause(Event.Milliseconds);
            continue;
        }
        Key = Event.KeyEvent;
        return true;
    }
}

intptr_t TConsoleHost::Ask(const TMessageBox& Box, bool& InputEnded)
{
    TScreen::TSnapshot Under = FScreen.Save();
    const int Count = static_cast<int>(Box.Buttons.size());
    int Focus = 0;
    intptr_t Answer = -1;
    InputEnded = false;
    const auto Draw = [&] {
        FScreen.Restore(Under);
        paint::Message(FScreen, Box, Focus);
    };
    for (;;) {
        KEY_EVENT_RECORD Key;
        if (!NextKey(Key, Under, Draw)) {
            InputEnded = true;
            break;
        }
        if (IsKey(Key, VK_LEFT) || IsKey(Key, VK_UP) || IsKey(Key, VK_TAB, ShiftKeys)) {
            Focus = (Focus + Count - 1) % Count;
        } else if (IsKey(Key, VK_RIGHT) || IsKey(Key, VK_DOWN) || IsKey(Key, VK_TAB)) {
            Focus = (Focus + 1) % Count;
        } else if (IsKey(Key, VK_RETURN) || IsKey(Key, VK_SPACE)) {
            Answer = Focus;
            break;
        } else if (IsKey(Key, VK_ESCAPE) || IsKey(Key, VK_F10)) {
            break;
        } else if (const int Hot = HotKeyIndex(Box.Buttons, Key); Hot >= 0) {
            Answer = Hot;
            break;
        }
    }
    FScreen.Restore(Under);
    Show();
    return Answer;
}

int TConsoleHost::Menu(const std::wstring& Title, const std::vector<std::wstring>& Items)
{
    TScreen::TSnapshot Under = FScreen.Save();
    const int Count = static_cast<int>(Items.size());
    int Current = 0;
    int Chosen = -1;
    const auto Draw = [&] {
        FScreen.Restore(Under);
        paint::Menu(FScreen, Title, Items, Current);
    };
    for (;;) {
        KEY_EVENT_RECORD Key;
        if (!NextKey(Key, Under, Draw))
            break;
        if (IsKey(Key, VK_ESCAPE) || IsKey(Key, VK_F10))
            break;
        if (Count == 0)
            continue;
        // Menus wrap around at either end.
        if (IsKey(Key, VK_UP))
            Current = (Current + Count - 1) % Count;
        else if (IsKey(Key, VK_DOWN))
            Current = (Current + 1) % Count;
        else if (IsKey(Key, VK_HOME) || IsKey(Key, VK_PRIOR))
            Current = 0;
        else if (IsKey(Key, VK_END) || IsKey(Key, VK_NEXT))
            Current = Count - 1;
        else if (IsKey(Key, VK_RETURN)) {
            Chosen = Current;
            break;
        } else if (const int Hot = HotKeyIndex(Items, Key); Hot >= 0) {
            Chosen = Hot;
            break;
        }
    }
    FScreen.Restore(Under);
    Show();
    return Chosen;
}

void TConsoleHost::PluginsMenu()
{
    const TPluginInfoCopy Info = FHost.GetPluginInfo();
    // The editor's menu lists only the plugins that ask to be there.
    const std::vector<TMenuEntry> Entries = (Info.Flags & far3::PF_EDITOR) ? Info.PluginMenu
                                                                           : std::vector<TMenuEntry>();
    std::vector<std::wstring> Texts;
    for (const TMenuEntry& Entry : Entries)
        Texts.push_back(Entry.Text);
    const int Chosen = Menu(L"Plugin commands", Texts);
    if (Chosen < 0)
        return;
    const GUID Guid = Entries[static_cast<size_t>(Chosen)].Guid;
    FHost.Open(far3::OPEN_EDITOR, &Guid, 0);
    FDialogs.clear();
}

void TConsoleHost::ConfigMenu()
{
    const TPluginInfoCopy Info = FHost.GetPluginInfo();
    std::vector<std::wstring> Texts;
    for (const TMenuEntry& Entry : Info.PluginConfig)
        Texts.push_back(Entry.Text);
    const int Chosen = Menu(L"Plugins configuration", Texts);
    if (Chosen < 0)
        return;
    const GUID Guid = Info.PluginConfig[static_cast<size_t>(Chosen)].Guid;
    FHost.Configure(sizeof(far3::ConfigureInfo), &Guid);
    FDialogs.clear();
}

bool TConsoleHost::SaveFile()
{
    std::wstring Error;
    if (FView->Save(Error))
        return true;
    TMessageBox Box;
    Box.Flags = far3::FMSG_WARNING;
    Box.Title = L"Error";
    Box.Lines = {Error};
    Box.Buttons = {L"OK"};
    bool InputEnded = false;
    Ask(Box, InputEnded);
    return false;
}

bool TConsoleHost::MayQuit()
{
    if (!FView->Editor().Unsaved)
        return true;
    TMessageBox Box;
    Box.Flags = far3::FMSG_WARNING;
    Box.Title = L"Editor";
    Box.Lines = {L"The file has been modified:", FView->Editor().FileName};
    Box.Buttons = {L"&Save", L"&Discard", L"&Continue editing"};
    bool InputEnded = false;
    switch (Ask(Box, InputEnded)) {
    case 0: return SaveFile();
    case 1: return true;
    default: return InputEnded; // keys that run out here quit anyway
    }
}

void TConsoleHost::Run(TEditorView& View)
{
    FView = &View;
    View.Layout(FScreen.Width(), FScreen.Height());
    FHost.SetConsoleSize(FScreen.Width(), FScreen.Height());
    for (;;) {
        TInputEvent Event;
        if (!NextEvent(Event, [this] { DrawEditor(); }))
            break;
        if (Event.Kind == TInputEvent::Resize) {
            Resize(Event.Width, Event.Height, true);
            continue;
        }
        if (Event.Kind == TInputEvent::Wait) {
            Pause(Event.Milliseconds);
            continue;
        }
        const KEY_EVENT_RECORD& Key = Event.KeyEvent;
        if (IsKey(Key, VK_F10) || IsKey(Key, VK_ESCAPE)) {
            if (MayQuit())
                break;
        } else if (IsKey(Key, VK_F2)) {
            SaveFile();
        } else if (IsKey(Key, VK_F11)) {
            PluginsMenu();
        } else if (IsKey(Key, VK_F9) || IsKey(Key, VK_F9, AltKeys | ShiftKeys)) {
            ConfigMenu();
        } else {
            View.Key(Key);
        }
    }
    DrawEditor();
    FView = nullptr;
}
