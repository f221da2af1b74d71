// Input for the simulated host's modal dialog loop. The loop pulls one action
// at a time from a TDialogInput; a test gives it a TDialogScript, written
// with the fluent builder:
//
//   Host.QueueDialogScript(TDialogScript().Type(L"abc").Key(VK_DOWN).Enter());
//
// What an action does to the dialog is the engine's business, so a console
// front end can feed real key events through the same engine.
#pragma once

#include "DialogModel.h"

#include <deque>
#include <functional>
#include <string>

struct TDialogAction {
    enum TKind { Key, Click, Select, Resize, Wait, WaitForSynchro, Check };
    TKind Kind = Key;
    KEY_EVENT_RECORD KeyEvent{};          // Key
    intptr_t Item = -1;                   // Click, Select
    intptr_t Pos = -1;                    // Select: the list entry
    SHORT Width = 0, Height = 0;          // Resize: the new console size
    DWORD Milliseconds = 0;               // Wait
    std::function<void(THostDialog&)> Fn; // Check
};

class TDialogInput {
public:
    virtual ~TDialogInput() = default;
    // The next action; false when the input has run out.
    virtual bool Next(TDialogAction& Action) = 0;
    // The same for the dialog that waits for it: a front end draws that
    // dialog before it waits for a person's key.
    virtual bool NextFor(const THostDialog& Dialog, TDialogAction& Action) { return Next(Action); }
    // Actions not yet taken; a script that still has some when its dialog
    // closes was written for a different dialog than the one that ran.
    virtual size_t Pending() const { return 0; }
};

// A key as the console reports it: pressed, once.
inline KEY_EVENT_RECORD MakeKeyEvent(WORD Vk, wchar_t Char, DWORD ControlState)
{
    KEY_EVENT_RECORD Key{};
    Key.bKeyDown = TRUE;
    Key.wRepeatCount = 1;
    Key.wVirtualKeyCode = Vk;
    Key.wVirtualScanCode = static_cast<WORD>(::MapVirtualKeyW(Vk, MAPVK_VK_TO_VSC));
    Key.uChar.UnicodeChar = Char;
    Key.dwControlKeyState = ControlState;
    return Key;
}

class TDialogScript : public TDialogInput {
public:
    // One key event per character, without control state.
    TDialogScript& Type(const std::wstring& Text)
    {
        for (wchar_t C : Text)
            AddKey(MakeKeyEvent(KeyOf(C), C, 0));
        return *this;
    }
    // A key with SHIFT_PRESSED, LEFT_CTRL_PRESSED, LEFT_ALT_PRESSED... bits.
    TDialogScript& Key(WORD Vk, DWORD ControlState = 0)
    {
        AddKey(MakeKeyEvent(Vk, CharOf(Vk, ControlState), ControlState));
        return *this;
    }
    // The same key Times times.
    TDialogScript& Keys(WORD Vk, int Times)
    {
        for (int I = 0; I < Times; ++I)
            Key(Vk);
        return *this;
    }
    TDialogScript& Enter() { return Key(VK_RETURN); }
    TDialogScript& Esc() { return Key(VK_ESCAPE); }
    // A mouse click on an item.
    TDialogScript& Click(intptr_t Item)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Click;
        Action.Item = Item;
        return Add(std::move(Action));
    }
    // A mouse click on entry Pos of the list box Item.
    TDialogScript& Select(intptr_t Item, intptr_t Pos)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Select;
        Action.Item = Item;
        Action.Pos = Pos;
        return Add(std::move(Action));
    }
    // The console changes size.
    TDialogScript& Resize(SHORT Width, SHORT Height)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Resize;
        Action.Width = Width;
        Action.Height = Height;
        return Add(std::move(Action));
    }
    // No input for a while; synchro events are delivered meanwhile.
    TDialogScript& Wait(DWORD Milliseconds)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Wait;
        Action.Milliseconds = Milliseconds;
        return Add(std::move(Action));
    }
    // No input until the plugin asks for a synchro event (a typing pause
    // has ended), however long that takes on a busy machine; the event is
    // delivered. A hang check ends the wait after Milliseconds.
    TDialogScript& WaitForSynchro(DWORD Milliseconds = 60000)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::WaitForSynchro;
        Action.Milliseconds = Milliseconds;
        return Add(std::move(Action));
    }
    // Runs Fn on the host's thread between two actions.
    TDialogScript& Check(std::function<void(THostDialog&)> Fn)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Check;
        Action.Fn = std::move(Fn);
        return Add(std::move(Action));
    }

    bool Next(TDialogAction& Action) override
    {
        if (FActions.empty())
            return false;
        Action = std::move(FActions.front());
        FActions.pop_front();
        return true;
    }
    size_t Pending() const override { return FActions.size(); }

private:
    TDialogScript& Add(TDialogAction Action)
    {
        FActions.push_back(std::move(Action));
        return *this;
    }
    void AddKey(const KEY_EVENT_RECORD& Key)
    {
        TDialogAction Action;
        Action.Kind = TDialogAction::Key;
        Action.KeyEvent = Key;
        Add(std::move(Action));
    }
    static WORD KeyOf(wchar_t C)
    {
        if (C >= L'a' && C <= L'z')
            return static_cast<WORD>(C - L'a' + 'A');
        if ((C >= L'A' && C <= L'Z') || (C >= L'0' && C <= L'9'))
            return static_cast<WORD>(C);
        if (C == L' ')
            return VK_SPACE;
        const SHORT Scan = ::VkKeyScanW(C);
        return Scan == -1 ? 0 : static_cast<WORD>(Scan & 0xFF);
    }
    static wchar_t CharOf(WORD Vk, DWORD ControlState)
    {
        switch (Vk) {
        case VK_RETURN: return L'\r';
        case VK_ESCAPE: return 0x1B;
        case VK_TAB: return L'\t';
        case VK_BACK: return L'\b';
        case VK_SPACE: return L' ';
        default: break;
        }
        if (ControlState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED | LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED))
            return 0;
        if (Vk >= 'A' && Vk <= 'Z')
            return static_cast<wchar_t>((ControlState & SHIFT_PRESSED) ? Vk : Vk - 'A' + L'a');
        if (Vk >= '0' && Vk <= '9')
            return static_cast<wchar_t>(Vk);
        return 0;
    }

    std::deque<TDialogAction> FActions;
};
