#include "dialogs/uFarDialog.h"

#include "base/Registry.h"
#include "dialogs/uFarControls.h"
#include "dialogs/uFarListbox.h"
#include "bridge/uFarPlugin.h"
#include "bridge/uFarScreen.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int BlockSize = 64;

// The dialogs the host may call back about, from library start to unload.
TUnitObject<TLockedRegistry<TFarDialog>> GActiveDialogs;

void EnterActive(TFarDialog* Dialog)
{
    if (GActiveDialogs)
        GActiveDialogs->Add(Dialog);
}

void LeaveActive(TFarDialog* Dialog) noexcept
{
    if (GActiveDialogs)
        GActiveDialogs->Remove(Dialog);
}

TFarDialog* FindActive(HANDLE Handle) noexcept
{
    if (!GActiveDialogs)
        return nullptr;
    return GActiveDialogs->FindIf(
        [Handle](const TFarDialog& Dialog) { return Dialog.IsActive() && Dialog.GetHandle() == Handle; });
}

} // namespace

void TFarDialogDeleter::operator()(TFarDialog* Dialog) const noexcept
{
    if (!Dialog)
        return;
    try {
        Dialog->BeforeDestruction();
    } catch (...) {
        // Freeing must go on; nothing can report from here.
    }
    delete Dialog;
}

// The one procedure the host calls for every dialog of the plugin.
intptr_t WINAPI FarDialogProc(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2)
{
    TFarDialog* Dialog = FindActive(Handle);
    // After a failure the run is ending: the dialog answers nothing more.
    if (Dialog && !Dialog->FFailure) {
        try {
            intptr_t Result = 0;
            if (Dialog->DialogProc(Msg, Param1, Param2, Result))
                return Result;
        } catch (...) {
            Dialog->CaptureFailure(std::current_exception());
        }
    }
    try {
        const auto DefDlgProc = TFarModule::StartupInfo().DefDlgProc;
        return DefDlgProc ? DefDlgProc(Handle, Msg, Param1, Param2) : 0;
    } catch (...) {
        return 0;
    }
}

TFarDialog::TFarDialog(const GUID& Id) : FId(Id) {}

TFarDialog::~TFarDialog()
{
    // BeforeDestruction has freed the controls; this is only the safety net
    // for a dialog whose construction failed half-way.
    ReleaseHandle();
    FreeControls();
}

void TFarDialog::AfterConstruction()
{
    int Width = FWidth;
    int Height = FHeight;
    if (Width <= 0)
        Width = static_cast<int>(TFarScreen::Width());
    if (Height <= 0)
        Height = static_cast<int>(TFarScreen::Height());
    AdjustSize(Width, Height);
    FWidth = std::max(Width, 1);
    FHeight = std::max(Height, 1);
}

void TFarDialog::BeforeDestruction()
{
    ReleaseHandle();
    ClearControls();
}

void TFarDialog::InitializeUnit()
{
    GActiveDialogs.Create();
}

void TFarDialog::FinalizeUnit() noexcept
{
    GActiveDialogs.Destroy();
}

size_t TFarDialog::ActiveDialogCount()
{
    return GActiveDialogs ? GActiveDialogs->Count() : 0;
}

// --- controls -------------------------------------------------------------------

void TFarDialog::Grow()
{
    const size_t Capacity = FControls.size();
    auto Items = std::make_unique<far3::FarDialogItem[]>(Capacity + BlockSize); // zero-filled
    if (Capacity > 0)
        std::memcpy(static_cast<void*>(Items.get()), FDialogItems.get(), Capacity * sizeof(far3::FarDialogItem));
    FDialogItems = std::move(Items);
    FControls.resize(Capacity + BlockSize);
}

int TFarDialog::AddControl(TControl* Control)
{
    if (IsActive())
        throw EFarDialogError(L"Can't add controls to an active dialog");
    if (static_cast<size_t>(FControlCount) >= FControls.size())
        Grow();
    FControls[static_cast<size_t>(FControlCount)].reset(Control);
    return FControlCount++;
}

void TFarDialog::RemoveControl(TControl* Control)
{
    if (IsActive())
        throw EFarDialogError(L"Can't remove controls from an active dialog");
    if (const int Index = IndexOf(Control); Index >= 0)
        TakeControl(Index).reset();
}

int TFarDialog::IndexOf(const TControl* Control) const noexcept
{
    for (int I = FControlCount - 1; I >= 0; --I)
        if (FControls[static_cast<size_t>(I)].get() == Control)
            return I;
    return -1;
}

TFarDialog::TControlPtr TFarDialog::TakeControl(int Index) noexcept
{
    const auto At = static_cast<size_t>(Index);
    const auto Count = static_cast<size_t>(FControlCount);
    TControlPtr Control = std::move(FControls[At]);
    for (size_t J = At; J + 1 < Count; ++J) {
        FControls[J] = std::move(FControls[J + 1]);
        FDialogItems[J] = FDialogItems[J + 1];
        FControls[J]->FIndex = static_cast<int>(J);
    }
    --FControlCount;
    FDialogItems[Count - 1] = far3::FarDialogItem{};
    Control->FIndex = -1;
    return Control;
}

void TFarDialog::FreeControls() noexcept
{
    // From the last, so that no control moves while the others go.
    for (int I = FControlCount - 1; I >= 0; --I)
        TakeControl(I).reset();
    FControls.clear();
    FDialogItems.reset();
}

void TFarDialog::TControlDeleter::operator()(TControl* Control) const noexcept
{
    delete Control;
}

void TFarDialog::MoveControl(int From, int To)
{
    if (IsActive())
        throw EFarError(L"Cannot move controls while the dialog is active");
    if (From < 0 || From >= FControlCount || To < 0 || To >= FControlCount)
        throw EListError(L"List index out of bounds");
    // The control and its record move together; those between shift by one.
    const auto Move = [From, To](auto* First) {
        if (From < To)
            std::rotate(First + From, First + From + 1, First + To + 1);
        else
            std::rotate(First + To, First + From, First + From + 1);
    };
    Move(FControls.data());
    Move(FDialogItems.get());
    for (int I = std::min(From, To); I <= std::max(From, To); ++I)
        FControls[static_cast<size_t>(I)]->FIndex = I;
}

TFarDialog::TControl* TFarDialog::GetControl(int Index) const
{
    if (Index < 0 || Index >= FControlCount)
        throw EListError(L"Index out of bounds");
    return FControls[static_cast<size_t>(Index)].get();
}

TFarDialog::TControl* TFarDialog::ControlAt(intptr_t Index) const noexcept
{
    if (Index < 0 || Index >= FControlCount)
        return nullptr;
    return FControls[static_cast<size_t>(Index)].get();
}

far3::FarDialogItem& TFarDialog::ItemRecord(int Index)
{
    if (Index < 0 || Index >= FControlCount)
        throw EListError(L"Index out of bounds");
    return FDialogItems[static_cast<size_t>(Index)];
}

// Each control puts itself into the dialog's keeping as it is made
// (AddControl): the dialog owns what these make.

TFarDialog::TButton* TFarDialog::AddButton(int Left, int Top, const std::wstring& Text)
{
    return new TButton(*this, Left, Top, Text);
}

TFarDialog::TCheckbox* TFarDialog::AddCheckbox(int Left, int Top, const std::wstring& Text, bool Checked)
{
    return new TCheckbox(*this, Left, Top, Text, Checked);
}

TFarDialog::TDoubleBox* TFarDialog::AddDoubleBox(int Left, int Top, int Width, int Height, const std::wstring& Title)
{
    return new TDoubleBox(*this, Left, Top, Width, Height, Title);
}

TFarDialog::TEdit* TFarDialog::AddEdit(int Left, int Top, int Width, const std::wstring& Text)
{
    return new TEdit(*this, Left, Top, Width, Text);
}

TFarDialog::TLabel* TFarDialog::AddLabel(int Left, int Top, int Width, const std::wstring& Text,
                                         TLabelAlignment Alignment)
{
    return new TLabel(*this, Left, Top, Width, Text, Alignment);
}

TFarDialog::TListbox* TFarDialog::AddListbox(int Left, int Top, int Width, int Height, const std::wstring& Title)
{
    return new TListbox(*this, Left, Top, Width, Height, Title);
}

TFarDialog::TSeparator* TFarDialog::AddSeparator(int Top)
{
    return new TSeparator(*this, Top);
}

void TFarDialog::ClearControls()
{
    ReleaseHandle();
    FreeControls();
}

// --- the host dialog ----------------------------------------------------------------

bool TFarDialog::Build()
{
    ReleaseHandle();
    int Left, Top, Width, Height;
    GetBounds(Left, Top, Width, Height);
    SetSize(Width, Height);
    // SetSize may have changed the size; the position is the stored one.
    const intptr_t X1 = FLeft;
    const intptr_t Y1 = FTop;
    const intptr_t X2 = FLeft < 0 ? FWidth : FLeft + FWidth - 1;
    const intptr_t Y2 = FTop < 0 ? FHeight : FTop + FHeight - 1;
    const auto DialogInit = StartupInfo().DialogInit;
    if (!DialogInit)
        return false;
    const GUID PluginId = PluginGuid();
    FFailure = nullptr;
    FHandle = DialogInit(&PluginId, &FId, X1, Y1, X2, Y2, FHelpTopic.empty() ? nullptr : FHelpTopic.c_str(),
                         FDialogItems.get(), static_cast<size_t>(FControlCount), 0, FDialogFlags, &FarDialogProc, this);
    if (FHandle == nullptr)
        FHandle = INVALID_HANDLE_VALUE;
    if (!IsActive())
        return false;
    EnterActive(this);
    return true;
}

bool TFarDialog::Run(TButton*& Button)
{
    Button = nullptr;
    if (!IsActive() && !Build()) {
        throw EFarDialogError(L"Failed to build dialog " + TypeName(typeid(*this)));
    }
    const auto DialogRun = StartupInfo().DialogRun;
    if (!DialogRun)
        throw EFarPluginError(L"The host has not provided the service DialogRun");
    for (int I = 0; I < FControlCount; ++I)
        FControls[static_cast<size_t>(I)]->BeforeRun();
    intptr_t ExitCode = -1;
    {
        FRunning = true;
        const auto Ended = ScopeExit([this] {
            FRunning = false;
            try {
                TFarScreen::RedrawAll();
            } catch (...) {
                // A screen left unmended does not change how the run ended.
            }
        });
        ExitCode = DialogRun(FHandle);
    }
    if (FFailure) {
        std::exception_ptr Failure = std::exchange(FFailure, nullptr);
        std::rethrow_exception(Failure);
    }
    if (TControl* Control = ControlAt(ExitCode)) {
        if (auto* Pressed = dynamic_cast<TButton*>(Control)) {
            Button = Pressed;
            return true;
        }
    }
    return false;
}

void TFarDialog::ReleaseHandle() noexcept
{
    if (!IsActive())
        return;
    LeaveActive(this);
    const HANDLE Handle = std::exchange(FHandle, INVALID_HANDLE_VALUE);
    try {
        if (const auto DialogFree = StartupInfo().DialogFree)
            DialogFree(Handle);
    } catch (...) {
    }
}

intptr_t TFarDialog::SendMessage(intptr_t Msg, intptr_t Param1, void* Param2)
{
    return StartupInfo().SendDlgMessage(FHandle, Msg, Param1, Param2);
}

void TFarDialog::Redraw()
{
    if (IsActive())
        SendMessage(far3::DM_REDRAW, 0, nullptr);
}

void TFarDialog::LockRedraw()
{
    // Only an active dialog has anything to suspend.
    if (IsActive())
        SendMessage(far3::DM_ENABLEREDRAW, 0, nullptr);
    ++FRedrawLock;
}

void TFarDialog::UnlockRedraw()
{
    if (IsActive())
        SendMessage(far3::DM_ENABLEREDRAW, 1, nullptr);
    if (--FRedrawLock <= 0)
        Redraw();
}

// --- layout ----------------------------------------------------------------------------

void TFarDialog::GetBounds(int& Left, int& Top, int& Width, int& Height)
{
    Left = FLeft;
    Top = FTop;
    Width = FWidth;
    Height = FHeight;
    if (!IsActive())
        return;
    SMALL_RECT Rect{};
    if (SendMessage(far3::DM_GETDLGRECT, 0, &Rect) == 0)
        return;
    Left = Rect.Left;
    Top = Rect.Top;
    Width = Rect.Right - Rect.Left + 1;
    Height = Rect.Bottom - Rect.Top + 1;
}

void TFarDialog::SetPosition(int Left, int Top)
{
    FLeft = Left;
    FTop = Top;
    if (!IsActive())
        return;
    COORD Position{static_cast<SHORT>(Left < 0 ? -1 : Left), static_cast<SHORT>(Top < 0 ? -1 : Top)};
    SendMessage(far3::DM_MOVEDIALOG, 1, &Position);
}

void TFarDialog::SetSize(int Width, int Height)
{
    if (Width <= 0)
        throw EFarDialogError(Format(L"Invalid value for dialog width (%d)", {Width}));
    if (Height <= 0)
        throw EFarDialogError(Format(L"Invalid value for dialog height (%d)", {Height}));
    FWidth = Width;
    FHeight = Height;
    if (!IsActive())
        return;
    COORD Size{static_cast<SHORT>(Width), static_cast<SHORT>(Height)};
    SendMessage(far3::DM_RESIZEDIALOG, 0, &Size);
}

void TFarDialog::AdjustSize(int& Width, int& Height)
{
    Width -= 4;
    Height -= 4;
}

void TFarDialog::GetClientRect(int& Left, int& Top, int& Width, int& Height)
{
    GetBounds(Left, Top, Width, Height);
    Left += 3;
    Top += 1;
    Width -= 6;
    Height -= 2;
}

void TFarDialog::Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left, int Top)
{
    if (Widths.size() < Controls.size())
        throw EFarError(L"Invalid TFarDialog.Columnize call");
    int X = Left;
    for (size_t I = 0; I < Controls.size(); ++I) {
        if (TControl* Control = Controls[I]) {
            Control->SetLeft(X);
            Control->SetWidth(Widths[I] - 1);
            if (I > 0)
                Control->SetTop(Top);
        }
        X += Widths[I];
    }
}

void TFarDialog::Columnize(const TColumnWidths& Widths, const TControlList& Controls, int Left)
{
    if (Controls.empty() || !Controls.front())
        throw EFarError(L"Invalid TFarDialog.Columnize call");
    Columnize(Widths, Controls, Left, Controls.front()->GetTop());
}
