// The edits of a dialog, and the worker that reports an edit's changes
// after a pause in typing.
#include "dialogs/uFarControls.h"

#include "base/Handle.h"

#include <thread>

// Waits for a pause in typing, then asks the host to run the edit's change
// handler on the host's own thread: the handler talks to the dialog, which
// only that thread may do.
class TFarDialog::TCustomEdit::TDelayedChangeThread {
public:
    explicit TDelayedChangeThread(TCustomEdit& Edit)
        : FEdit(Edit), FToken(Edit.FSynchroToken), FEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        if (!FEvent)
            throw EFarDialogError(L"Cannot create the event of an edit's change notification");
        FThread = std::thread([this] { Execute(); });
    }

    ~TDelayedChangeThread()
    {
        FTerminated.store(true);
        ::SetEvent(FEvent.get());
        if (FThread.joinable())
            FThread.join();
        // FEvent closes only now, after the loop that waits on it has ended.
    }

    void Signal() noexcept { ::SetEvent(FEvent.get()); }

private:
    void Execute() noexcept
    {
        // The flag is read after every reset of the event: a termination
        // whose signal the reset swallowed is still seen.
        for (;;) {
            if (::WaitForSingleObject(FEvent.get(), INFINITE) != WAIT_OBJECT_0)
                return;
            ::ResetEvent(FEvent.get());
            if (FTerminated.load())
                return;
            // Each further change restarts the full delay.
            for (std::uint32_t Delay; (Delay = FEdit.GetChangeDelay()) > 0;) {
                const DWORD Wait = ::WaitForSingleObject(FEvent.get(), Delay);
                if (Wait == WAIT_TIMEOUT)
                    break;
                if (Wait != WAIT_OBJECT_0)
                    return;
                ::ResetEvent(FEvent.get());
                if (FTerminated.load())
                    return;
            }
            // One request per pause. The host may drop a request without
            // a word (its answer is always 0), so none is held back for an
            // earlier one; the edit skips a request that finds no change
            // left to report.
            TFarSynchro::Post(FToken);
        }
    }

    TCustomEdit& FEdit;
    const std::uintptr_t FToken;
    TKernelHandle FEvent;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;
};

TFarDialog::TCustomEdit::TCustomEdit(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text)
    : TControl(Dialog, far3::DI_EDIT)
{
    SetBoundsLimited(Left, Top, Width, 1, 1);
    SetText(Text);
    SetEditor(false);
    SetReadOnly(false);
    FUnchanged = true;
}

TFarDialog::TCustomEdit::~TCustomEdit()
{
    StopChangeThread();
}

void TFarDialog::TCustomEdit::InitControl()
{
    if (GetDialog().IsActive() && !FUnchanged)
        SetUnchanged(false);
}

void TFarDialog::TCustomEdit::SetUnchanged(bool Value)
{
    FUnchanged = Value;
    if (GetDialog().IsActive())
        GetDialog().SendMessage(far3::DM_EDITUNCHANGEDFLAG, GetIndex(),
                                reinterpret_cast<void*>(static_cast<intptr_t>(Value ? 1 : 0)));
}

void TFarDialog::TCustomEdit::SetEditor(bool Value)
{
    SetFlag(far3::DIF_EDITOR, Value);
}

void TFarDialog::TCustomEdit::SetReadOnly(bool Value)
{
    SetFlag(far3::DIF_READONLY, Value);
}

void TFarDialog::TCustomEdit::SetMask(const std::wstring& Value)
{
    if (GetDialog().IsActive())
        throw EFarDialogError(L"Can't change the mask of an edit in an active dialog");
    // The host applies a mask to fixed-width edits only; a plain edit takes
    // whatever is typed.
    DialogItem().Type = Value.empty() ? far3::DI_EDIT : far3::DI_FIXEDIT;
    FMask = Value.empty() ? nullptr : TFarModule::NewString(Value);
    const wchar_t* Mask = FMask.get();
    const auto Apply = [&](far3::FarDialogItem& Item) {
        Item.Flags = Mask ? Item.Flags | far3::DIF_MASKEDIT : Item.Flags & ~far3::DIF_MASKEDIT;
        Item.Mask = Mask;
    };
    Apply(DialogItem());
    UpdateLiveItem(Apply);
}

bool TFarDialog::TCustomEdit::DoChange()
{
    bool Result = true;
    if (GetChangeDelay() > 0) {
        ++FChangeSerial;
        GetChangeThread()->Signal();
        return true;
    }
    if (OnChange)
        OnChange(*this, Result);
    return Result;
}

TFarDialog::TCustomEdit::TDelayedChangeThread* TFarDialog::TCustomEdit::GetChangeThread()
{
    if (FChangeThread)
        return FChangeThread.get();
    FSynchroToken = TFarSynchro::Register(this);
    auto Unregister = ScopeExit([this] { TFarSynchro::Unregister(std::exchange(FSynchroToken, 0)); });
    FChangeThread = std::make_unique<TDelayedChangeThread>(*this);
    Unregister.release();
    return FChangeThread.get();
}

void TFarDialog::TCustomEdit::StopChangeThread() noexcept
{
    // Unregistered first: a request already on its way finds nothing.
    TFarSynchro::Unregister(std::exchange(FSynchroToken, 0));
    FChangeThread.reset();
}

void TFarDialog::TCustomEdit::SynchroEvent()
{
    // No dialog event is on the way here to carry a failure out: it ends
    // the run as a failure inside an event does, and is reported when the
    // host has returned from the dialog. A dialog that went on would act on
    // the rows of an older filter.
    try {
        ApplyPendingChange();
    } catch (...) {
        GetDialog().CaptureFailure(std::current_exception());
    }
}

bool TFarDialog::TCustomEdit::HasPendingChange() const noexcept
{
    return FChangeSerial != FReportedSerial;
}

void TFarDialog::TCustomEdit::ApplyPendingChange()
{
    if (!HasPendingChange())
        return;
    FReportedSerial = FChangeSerial;
    // Once the run has ended, the dialog is only kept for its values.
    if (!GetDialog().IsRunning() || !OnChange)
        return;
    bool Result = true;
    OnChange(*this, Result);
}

TFarDialog::TEdit::TEdit(TFarDialog& Dialog, int Left, int Top, int Width, const std::wstring& Text)
    : TCustomEdit(Dialog, Left, Top, Width, Text)
{
}
