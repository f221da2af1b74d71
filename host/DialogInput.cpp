// What a key, a click or a resize does to a running dialog: the focus,
// buttons and closing, and typing into edits.
#include "DialogEngine.h"

#include "DialogItems.h"
#include "HostContext.h"

#include <algorithm>
#include <cstring>

using namespace far3;
using namespace dialog;

namespace {

constexpr DWORD CtrlKeys = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
constexpr DWORD AltKeys = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;

} // namespace

// --- focus, closing, buttons ---------------------------------------------------------------

void TDialogEngine::ChangeFocus(THostDialog& Dialog, intptr_t NewFocus)
{
    if (NewFocus == Dialog.Focus)
        return;
    // Before DN_INITDIALOG has returned, and outside a run, the focus moves
    // without notifications.
    const bool Notifying = Dialog.Initialised && Dialog.State == THostDialogState::Running;
    if (Notifying && Dialog.Focus >= 0) {
        const intptr_t Wanted = Notify(Dialog, DN_KILLFOCUS, Dialog.Focus, nullptr);
        if (Wanted != -1) {
            if (Wanted < 0 || static_cast<size_t>(Wanted) >= Dialog.Items.size())
                Error(L"DN_KILLFOCUS: the reply " + std::to_wstring(Wanted) + L" is no item of the dialog");
            else if (Wanted == Dialog.Focus)
                return;
            else if (CanFocus(Dialog.Items[static_cast<size_t>(Wanted)]))
                NewFocus = Wanted;
        }
    }
    Dialog.Focus = NewFocus;
    if (Notifying)
        Notify(Dialog, DN_GOTFOCUS, NewFocus, nullptr);
}

void TDialogEngine::StepFocus(THostDialog& Dialog, int Step)
{
    const intptr_t Count = static_cast<intptr_t>(Dialog.Items.size());
    const intptr_t Start = Dialog.Focus >= 0 ? Dialog.Focus : (Step > 0 ? -1 : Count);
    for (intptr_t K = 1; K <= Count; ++K) {
        const intptr_t I = ((Start + Step * K) % Count + Count) % Count;
        if (I == Dialog.Focus)
            return;
        if (CanFocus(Dialog.Items[static_cast<size_t>(I)])) {
            ChangeFocus(Dialog, I);
            return;
        }
    }
}

void TDialogEngine::FocusLeaves(THostDialog& Dialog, intptr_t Index)
{
    if (Dialog.Focus == Index && !CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        StepFocus(Dialog, 1);
}

bool TDialogEngine::Close(THostDialog& Dialog, intptr_t ExitCode)
{
    if (Dialog.Closing)
        return true;
    if (!Notify(Dialog, DN_CLOSE, ExitCode, nullptr))
        return false;
    Dialog.Closing = true;
    Dialog.ExitCode = ExitCode;
    return true;
}

// A push button, check box or radio button is pressed (click, Space, Enter
// on a push button).
void TDialogEngine::Press(THostDialog& Dialog, intptr_t Index)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    switch (Item.Type) {
    case DI_BUTTON:
        if (!Notify(Dialog, DN_BTNCLICK, Index, nullptr) &&
            !(Dialog.Items[static_cast<size_t>(Index)].Flags & DIF_BTNNOCLOSE))
            Close(Dialog, Index);
        return;
    case DI_CHECKBOX: {
        const intptr_t New = (Item.Flags & DIF_3STATE) ? (Item.Selected + 1) % 3 : (Item.Selected ? 0 : 1);
        if (Notify(Dialog, DN_BTNCLICK, Index, reinterpret_cast<void*>(New)))
            Dialog.Items[static_cast<size_t>(Index)].Selected = New;
        return;
    }
    case DI_RADIOBUTTON:
        if (Notify(Dialog, DN_BTNCLICK, Index, reinterpret_cast<void*>(1)))
            SetCheck(Dialog, Index, BSTATE_CHECKED);
        return;
    default: return;
    }
}

// Enter closes with the default button's index without DN_BTNCLICK, except
// on a push button (pressed) and in a DIF_EDITOR edit (next line). Ctrl+Enter
// is the default button whatever has the focus.
void TDialogEngine::PressEnter(THostDialog& Dialog, bool Ctrl)
{
    intptr_t Default = -1;
    for (size_t I = 0; I < Dialog.Items.size() && Default < 0; ++I)
        if (Dialog.Items[I].Flags & DIF_DEFAULTBUTTON)
            Default = static_cast<intptr_t>(I);
    const THostItem* DefaultItem = Default >= 0 ? &Dialog.Items[static_cast<size_t>(Default)] : nullptr;
    if (Ctrl) {
        if (DefaultItem && !(DefaultItem->Flags & DIF_DISABLE))
            Close(Dialog, Default);
        return;
    }
    if (Dialog.Focus >= 0) {
        const THostItem& Focused = Dialog.Items[static_cast<size_t>(Dialog.Focus)];
        if (Focused.Type == DI_BUTTON) {
            Press(Dialog, Dialog.Focus);
            return;
        }
        // A read-only line of a DIF_EDITOR block leaves Enter to the
        // default button, as the real host does.
        if (IsEdit(Focused.Type) && (Focused.Flags & DIF_EDITOR) && !(Focused.Flags & DIF_READONLY)) {
            StepFocus(Dialog, 1);
            return;
        }
    }
    if (DefaultItem) {
        if (DefaultItem->Flags & DIF_DISABLE)
            return;
        if (!(DefaultItem->Flags & DIF_BTNNOCLOSE)) {
            Close(Dialog, Default);
            return;
        }
    }
    Close(Dialog, Dialog.Focus);
}

// --- input --------------------------------------------------------------------------------

void TDialogEngine::Perform(THostDialog& Dialog, const TDialogAction& Action)
{
    switch (Action.Kind) {
    case TDialogAction::Key: ProcessKey(Dialog, Action.KeyEvent); break;
    case TDialogAction::Click: ProcessClick(Dialog, Action.Item); break;
    case TDialogAction::Select: ProcessSelect(Dialog, Action.Item, Action.Pos); break;
    case TDialogAction::Resize: ProcessResize(Dialog, Action.Width, Action.Height); break;
    case TDialogAction::Wait: {
        // The real host's input loop delivers synchro events while a modal
        // dialog waits for a key.
        const ULONGLONG End = ::GetTickCount64() + Action.Milliseconds;
        for (;;) {
            FHost.DeliverSynchroEvents();
            const ULONGLONG Now = ::GetTickCount64();
            if (Dialog.Closing || Now >= End)
                break;
            FHost.WaitForSynchroEvent(static_cast<DWORD>(End - Now));
        }
        break;
    }
    case TDialogAction::WaitForSynchro: {
        const ULONGLONG End = ::GetTickCount64() + Action.Milliseconds;
        while (FHost.SynchroRequests() == Dialog.SynchroRequestsSeen && ::GetTickCount64() < End)
            FHost.WaitForSynchroEvent(100);
        if (FHost.SynchroRequests() == Dialog.SynchroRequestsSeen)
            Error(L"no synchro event was asked for");
        Dialog.SynchroRequestsSeen = FHost.SynchroRequests();
        FHost.DeliverSynchroEvents();
        break;
    }
    case TDialogAction::Check:
        if (Action.Fn)
            Action.Fn(Dialog);
        break;
    }
}

void TDialogEngine::ProcessKey(THostDialog& Dialog, const KEY_EVENT_RECORD& Key)
{
    INPUT_RECORD Record{};
    Record.EventType = KEY_EVENT;
    Record.Event.KeyEvent = Key;
    if (Notify(Dialog, DN_CONTROLINPUT, Dialog.Focus, &Record) || Dialog.Closing)
        return;
    const DWORD State = Key.dwControlKeyState;
    const bool Shift = State & SHIFT_PRESSED, Ctrl = State & CtrlKeys, Alt = State & AltKeys;
    const bool Plain = !Shift && !Ctrl && !Alt;
    switch (Key.wVirtualKeyCode) {
    case VK_ESCAPE:
    case VK_F10:
        if (Plain)
            Close(Dialog, -1);
        return;
    case VK_CANCEL:
        if (Ctrl)
            Close(Dialog, -2);
        return;
    case VK_RETURN:
        if (!Shift && !Alt)
            PressEnter(Dialog, Ctrl);
        return;
    case VK_TAB:
        if (!Ctrl && !Alt)
            StepFocus(Dialog, Shift ? -1 : 1);
        return;
    default: break;
    }
    if (Dialog.Focus < 0)
        return;
    const intptr_t Focus = Dialog.Focus;
    const FARDIALOGITEMTYPES Type = Dialog.Items[static_cast<size_t>(Focus)].Type;
    if (Type == DI_LISTBOX) {
        if (Plain)
            ListKey(Dialog, Focus, Key.wVirtualKeyCode);
        return;
    }
    if (IsEdit(Type)) {
        EditKey(Dialog, Focus, Key);
        return;
    }
    if (!Plain)
        return;
    switch (Key.wVirtualKeyCode) {
    case VK_UP:
    case VK_LEFT: StepFocus(Dialog, -1); return;
    case VK_DOWN:
    case VK_RIGHT: StepFocus(Dialog, 1); return;
    case VK_SPACE: Press(Dialog, Focus); return;
    default: return;
    }
}

void TDialogEngine::EditKey(THostDialog& Dialog, intptr_t Index, const KEY_EVENT_RECORD& Key)
{
    THostItem& Edit = Dialog.Items[static_cast<size_t>(Index)];
    const DWORD State = Key.dwControlKeyState;
    const bool Modified = State & (SHIFT_PRESSED | CtrlKeys | AltKeys);
    const bool ReadOnly = Edit.Flags & DIF_READONLY;
    const intptr_t Length = static_cast<intptr_t>(Edit.Data.size());
    const intptr_t Cursor = std::clamp<intptr_t>(Edit.CursorPos, 0, Length);
    switch (Key.wVirtualKeyCode) {
    case VK_UP:
    case VK_DOWN:
        // With Shift, Ctrl or Alt held these are no navigation keys.
        if (!Modified)
            StepFocus(Dialog, Key.wVirtualKeyCode == VK_UP ? -1 : 1);
        return;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
        if (Modified)
            return;
        Edit.Unchanged = false;
        Edit.CursorPos = Key.wVirtualKeyCode == VK_LEFT    ? std::max<intptr_t>(0, Cursor - 1)
                         : Key.wVirtualKeyCode == VK_RIGHT ? std::min(Length, Cursor + 1)
                         : Key.wVirtualKeyCode == VK_HOME  ? 0
                                                           : Length;
        return;
    case VK_BACK:
    case VK_DELETE: {
        if (Modified || ReadOnly)
            return;
        std::wstring New = Edit.Data;
        intptr_t NewCursor = Cursor;
        // An unchanged text is deleted whole, like a selection.
        if (Edit.Unchanged) {
            New.clear();
            NewCursor = 0;
        } else if (Key.wVirtualKeyCode == VK_BACK && Cursor > 0) {
            New.erase(static_cast<size_t>(Cursor - 1), 1);
            --NewCursor;
        } else if (Key.wVirtualKeyCode == VK_DELETE && Cursor < Length) {
            New.erase(static_cast<size_t>(Cursor), 1);
        }
        Edit.Unchanged = false;
        Edit.CursorPos = NewCursor;
        if (New != Edit.Data) {
            Edit.Data = New;
            EditChanged(Dialog, Index);
        }
        return;
    }
    default: break;
    }
    const wchar_t Char = Key.uChar.UnicodeChar;
    if (Char < L' ' || (State & (CtrlKeys | AltKeys)) || ReadOnly)
        return;
    std::wstring New = Edit.Unchanged ? std::wstring() : Edit.Data;
    intptr_t At = Edit.Unchanged ? 0 : Cursor;
    // A masked fixed-width edit (as the real host does it, seen in build
    // 6727: a letter in a "99999" field is not taken, a sixth digit
    // replaces the fifth; a mask on a plain edit does nothing).
    const bool Masked = Edit.Type == DI_FIXEDIT && (Edit.Flags & DIF_MASKEDIT) && !Edit.Mask.empty();
    if (Masked) {
        const size_t Width = Edit.Mask.size();
        At = std::min<intptr_t>(At, static_cast<intptr_t>(Width) - 1);
        if (!MaskTakes(Edit.Mask[static_cast<size_t>(At)], Char))
            return;
        if (New.size() >= Width)
            New.erase(static_cast<size_t>(At), 1);
    } else if (Edit.MaxLength && New.size() >= Edit.MaxLength) {
        return;
    }
    New.insert(static_cast<size_t>(At), 1, Char);
    Edit.Unchanged = false;
    Edit.Data = New;
    Edit.CursorPos = Masked ? std::min<intptr_t>(At + 1, static_cast<intptr_t>(Edit.Mask.size()) - 1) : At + 1;
    EditChanged(Dialog, Index);
}

bool TDialogEngine::MaskTakes(wchar_t MaskChar, wchar_t Char)
{
    switch (MaskChar) {
    case L'9': return Char >= L'0' && Char <= L'9';
    case L'#': return (Char >= L'0' && Char <= L'9') || Char == L' ' || Char == L'+' || Char == L'-';
    default: return true;
    }
}

void TDialogEngine::EditChanged(THostDialog& Dialog, intptr_t Index)
{
    // The plugin gets a temporary copy, valid during the call only.
    std::vector<unsigned char> Copy(PackedSize(Dialog.Items[static_cast<size_t>(Index)]));
    PackItem(Dialog.Items[static_cast<size_t>(Index)], Copy.data());
    Notify(Dialog, DN_EDITCHANGE, Index, Copy.data());
    std::memset(Copy.data(), 0xCD, Copy.size());
}

bool TDialogEngine::MouseInput(THostDialog& Dialog, intptr_t Index, SHORT Row)
{
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    INPUT_RECORD Record{};
    Record.EventType = MOUSE_EVENT;
    Record.Event.MouseEvent.dwMousePosition = COORD{static_cast<SHORT>(Dialog.Rect.Left + Item.X1),
                                                    static_cast<SHORT>(Dialog.Rect.Top + Item.Y1 + Row)};
    Record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    return Notify(Dialog, DN_CONTROLINPUT, Index, &Record) != 0 || Dialog.Closing;
}

void TDialogEngine::ProcessClick(THostDialog& Dialog, intptr_t Index)
{
    if (Index < 0 || static_cast<size_t>(Index) >= Dialog.Items.size()) {
        Error(L"dialog script: Click on item " + std::to_wstring(Index) + L", which the dialog does not have");
        return;
    }
    // Nobody can click what is hidden or disabled.
    if (Dialog.Items[static_cast<size_t>(Index)].Flags & (DIF_HIDDEN | DIF_DISABLE))
        return;
    if (MouseInput(Dialog, Index, 0))
        return;
    if (CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        ChangeFocus(Dialog, Index);
    if (!Dialog.Closing)
        Press(Dialog, Index);
}

void TDialogEngine::ProcessSelect(THostDialog& Dialog, intptr_t Index, intptr_t Pos)
{
    if (Index < 0 || static_cast<size_t>(Index) >= Dialog.Items.size() ||
        Dialog.Items[static_cast<size_t>(Index)].Type != DI_LISTBOX) {
        Error(L"dialog script: Select on item " + std::to_wstring(Index) + L", which is no list box of the dialog");
        return;
    }
    const THostItem& Item = Dialog.Items[static_cast<size_t>(Index)];
    if (Pos < 0 || static_cast<size_t>(Pos) >= Item.List.Entries.size()) {
        Error(L"dialog script: Select of entry " + std::to_wstring(Pos) + L", which the list does not have");
        return;
    }
    if (Item.Flags & (DIF_HIDDEN | DIF_DISABLE))
        return;
    const SHORT Row = static_cast<SHORT>(((Item.Flags & DIF_LISTNOBOX) ? 0 : 1) + Pos - Item.List.TopPos);
    if (MouseInput(Dialog, Index, Row))
        return;
    if (CanFocus(Dialog.Items[static_cast<size_t>(Index)]))
        ChangeFocus(Dialog, Index);
    const THostList& List = Dialog.Items[static_cast<size_t>(Index)].List;
    if (!Dialog.Closing && static_cast<size_t>(Pos) < List.Entries.size() &&
        EntryFocusable(List.Entries[static_cast<size_t>(Pos)]) && Pos != List.CurPos)
        MoveList(Dialog, Index, Pos, -1);
}

void TDialogEngine::ProcessResize(THostDialog& Dialog, SHORT Width, SHORT Height)
{
    FHost.SetConsoleSize(Width, Height);
    COORD Size{Width, Height};
    Notify(Dialog, DN_RESIZECONSOLE, 0, &Size);
}
