// How the host's events reach a dialog: the dispatch of its messages to the
// dialog's handlers, and from those to the handlers of its controls. A
// handler's EAbort leaves the event to the host's default.
#include "dialogs/uFarDialog.h"

#include "dialogs/uFarControls.h"
#include "dialogs/uFarListbox.h"

namespace {

template <class T>
T* As(TFarDialog::TControl* Control)
{
    return dynamic_cast<T*>(Control);
}

} // namespace

bool TFarDialog::DialogProc(intptr_t Msg, intptr_t Param1, void* Param2, intptr_t& Result)
{
    switch (Msg) {
    case far3::DN_INITDIALOG: return DoInitDialog(Param1, Param2, Result);
    case far3::DN_BTNCLICK: return DoButtonClick(Param1, Param2, Result);
    case far3::DN_EDITCHANGE: return DoEditChange(Param1, Param2, Result);
    case far3::DN_GOTFOCUS: return DoGotFocus(Param1, Param2, Result);
    case far3::DN_KILLFOCUS: return DoKillFocus(Param1, Param2, Result);
    case far3::DN_LISTCHANGE: return DoListChange(Param1, Param2, Result);
    case far3::DN_CONTROLINPUT: return DoControlInput(Param1, Param2, Result);
    case far3::DN_RESIZECONSOLE: return DoResizeConsole(Param1, Param2, Result);
    case far3::DN_CLOSE: return DoClose(Param1, Param2, Result);
    default: return false;
    }
}

bool TFarDialog::DoInitDialog(intptr_t, void*, intptr_t&)
{
    for (int I = 0; I < FControlCount; ++I)
        FControls[static_cast<size_t>(I)]->InitControl();
    return false;
}

bool TFarDialog::DoButtonClick(intptr_t Param1, void* Param2, intptr_t& Result)
{
    TControl* Control = ControlAt(Param1);
    if (!Control)
        return false;
    try {
        if (auto* Button = As<TButton>(Control)) {
            if (!Button->OnClick)
                return false;
            bool Handled = false;
            Button->OnClick(*Button, Handled);
            Result = Handled ? 1 : 0;
            return true;
        }
        if (auto* Checkbox = As<TCheckbox>(Control)) {
            const intptr_t State = reinterpret_cast<intptr_t>(Param2);
            if (State < csUnchecked || State > csUndefined || !Checkbox->OnClick)
                return false;
            bool Allow = true;
            Checkbox->OnClick(*Checkbox, static_cast<TCheckState>(State), Allow);
            Result = Allow ? 1 : 0;
            return true;
        }
        if (auto* Radio = As<TRadioButton>(Control)) {
            const auto& Handler = Param2 != nullptr ? Radio->OnCheck : Radio->OnUncheck;
            if (!Handler)
                return false;
            bool Allow = true;
            Handler(*Radio, Allow);
            Result = Allow ? 1 : 0;
            return true;
        }
    } catch (const EAbort&) {
    }
    return false;
}

bool TFarDialog::DoEditChange(intptr_t Param1, void*, intptr_t& Result)
{
    auto* Edit = As<TCustomEdit>(ControlAt(Param1));
    if (!Edit)
        return false;
    try {
        Result = Edit->DoChange() ? 1 : 0;
        return true;
    } catch (const EAbort&) {
        return false;
    }
}

bool TFarDialog::DoGotFocus(intptr_t Param1, void*, intptr_t& Result)
{
    TControl* Control = ControlAt(Param1);
    if (!Control || !Control->OnGotFocus)
        return false;
    try {
        Control->OnGotFocus(*Control);
        Result = 0;
        return true;
    } catch (const EAbort&) {
        return false;
    }
}

bool TFarDialog::DoKillFocus(intptr_t Param1, void*, intptr_t& Result)
{
    TControl* Control = ControlAt(Param1);
    if (!Control || !Control->OnKillFocus)
        return false;
    try {
        TControl* Next = nullptr;
        Control->OnKillFocus(*Control, Next);
        Result = Next ? Next->GetIndex() : -1;
        return true;
    } catch (const EAbort&) {
        return false;
    }
}

bool TFarDialog::DoListChange(intptr_t Param1, void* Param2, intptr_t& Result)
{
    auto* List = As<TListbox>(ControlAt(Param1));
    if (!List || !List->OnSelect)
        return false;
    try {
        Result = List->HostSelected(reinterpret_cast<intptr_t>(Param2)) ? 1 : 0;
        return true;
    } catch (const EAbort&) {
        return false;
    }
}

bool TFarDialog::DoControlInput(intptr_t Param1, void* Param2, intptr_t& Result)
{
    TControl* Control = ControlAt(Param1);
    const auto* Record = static_cast<const INPUT_RECORD*>(Param2);
    if (!Control || !Control->OnKeyDown || !Record || Record->EventType != KEY_EVENT ||
        !Record->Event.KeyEvent.bKeyDown)
        return false;
    try {
        bool Handled = false;
        Control->OnKeyDown(*Control, Record->Event.KeyEvent.wVirtualKeyCode, Record->Event.KeyEvent.dwControlKeyState,
                           Handled);
        Result = Handled ? 1 : 0;
        return Handled;
    } catch (const EAbort&) {
        return false;
    }
}

bool TFarDialog::DoClose(intptr_t, void*, intptr_t&)
{
    return false;
}

bool TFarDialog::DoResizeConsole(intptr_t, void* Param2, intptr_t& Result)
{
    const auto* Size = static_cast<const COORD*>(Param2);
    TRedrawLock Redraw(*this);
    if (Size) {
        int Width = Size->X;
        int Height = Size->Y;
        AdjustSize(Width, Height);
        SetSize(Width, Height);
        SetPosition(FLeft, FTop);
    }
    Redraw.Finish();
    Result = 1;
    return true;
}

void TFarDialog::CaptureFailure(std::exception_ptr Failure) noexcept
{
    if (FFailure)
        return;
    FFailure = std::move(Failure);
    try {
        SendMessage(far3::DM_CLOSE, -1, nullptr);
    } catch (...) {
        // The failure kept is the one to report; the run ends with it.
    }
}
