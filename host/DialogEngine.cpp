// The dialog services (DialogInit, DialogRun, DialogFree, SendDlgMessage,
// DefDlgProc), the modal loop, and how the engine keeps its dialogs and
// talks to their procedures.
#include "DialogEngine.h"

#include "DialogItems.h"
#include "HostContext.h"

#include <algorithm>

using namespace far3;
using namespace dialog;

namespace {

// A coordinate pair DialogInit accepts: -1 and a positive size, or an
// inclusive range on the screen.
bool ValidExtent(intptr_t From, intptr_t To)
{
    if (From == -1)
        return To > 0 && To <= SHRT_MAX;
    return From >= 0 && To >= From && To <= SHRT_MAX;
}

} // namespace

TDialogEngine::TDialogEngine(THostContext& Host) : FHost(Host) {}

TDialogEngine::~TDialogEngine() = default;

// --- bookkeeping ------------------------------------------------------------------

void TDialogEngine::Error(const std::wstring& Text)
{
    FHost.Error(Text);
}

void TDialogEngine::CheckThread(const char* Service)
{
    if (::GetCurrentThreadId() != FHost.MainThreadId())
        Error(Widen(Service) +
              L" called from a thread other than the host's main thread (a data race in the real host)");
}

THostDialog* TDialogEngine::Find(HANDLE Dialog)
{
    const auto Found = FDialogs.find(Dialog);
    return Found == FDialogs.end() ? nullptr : Found->second.get();
}

THostDialog* TDialogEngine::Last()
{
    return Find(FLast);
}

THostDialog* TDialogEngine::Lookup(HANDLE Handle, const char* Service)
{
    THostDialog* Dialog = Find(Handle);
    if (!Dialog)
        Error(Widen(Service) + L": unknown or freed dialog handle " +
              std::to_wstring(reinterpret_cast<uintptr_t>(Handle)));
    return Dialog;
}

void TDialogEngine::ConsoleResized()
{
    for (auto& Entry : FDialogs)
        Place(*Entry.second);
}

void TDialogEngine::ReportLeaks()
{
    for (const auto& Entry : FDialogs)
        Error(L"a dialog was never freed (DialogFree): handle " +
              std::to_wstring(reinterpret_cast<uintptr_t>(Entry.first)));
    FDialogs.clear();
}

void TDialogEngine::QueueScript(TDialogScript Script)
{
    FScripts.push_back(std::move(Script));
}

void TDialogEngine::Place(THostDialog& Dialog)
{
    if (Dialog.CentredX)
        Dialog.Rect.Left = static_cast<SHORT>(std::max(0, (FHost.ConsoleWidth() - Dialog.Width) / 2));
    if (Dialog.CentredY)
        Dialog.Rect.Top = static_cast<SHORT>(std::max(0, (FHost.ConsoleHeight() - Dialog.Height) / 2));
    Dialog.Rect.Right = static_cast<SHORT>(Dialog.Rect.Left + Dialog.Width - 1);
    Dialog.Rect.Bottom = static_cast<SHORT>(Dialog.Rect.Top + Dialog.Height - 1);
}

// --- the services ----------------------------------------------------------------------

HANDLE TDialogEngine::Init(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                           const wchar_t* HelpTopic, const FarDialogItem* Item, size_t ItemsNumber,
                           FARDIALOGFLAGS Flags, FARWINDOWPROC DlgProc, void* Param)
{
    CheckThread("DialogInit");
    if (!FHost.CheckPluginId(PluginId, "DialogInit"))
        return INVALID_HANDLE_VALUE;
    if (!Item || ItemsNumber == 0) {
        Error(L"DialogInit: no items");
        return INVALID_HANDLE_VALUE;
    }
    if (!ValidExtent(X1, X2) || !ValidExtent(Y1, Y2)) {
        Error(L"DialogInit: invalid coordinates (" + std::to_wstring(X1) + L"," + std::to_wstring(Y1) + L")-(" +
              std::to_wstring(X2) + L"," + std::to_wstring(Y2) + L")");
        return INVALID_HANDLE_VALUE;
    }

    auto Dialog = std::make_unique<THostDialog>();
    Dialog->Handle = reinterpret_cast<HANDLE>(FNextHandle);
    FNextHandle += 0x10;
    Dialog->PluginId = *PluginId;
    if (Id)
        Dialog->Id = *Id;
    Dialog->GivenX1 = X1;
    Dialog->GivenY1 = Y1;
    Dialog->GivenX2 = X2;
    Dialog->GivenY2 = Y2;
    Dialog->CentredX = X1 == -1;
    Dialog->CentredY = Y1 == -1;
    Dialog->Width = static_cast<SHORT>(X1 == -1 ? X2 : X2 - X1 + 1);
    Dialog->Height = static_cast<SHORT>(Y1 == -1 ? Y2 : Y2 - Y1 + 1);
    Dialog->Rect.Left = static_cast<SHORT>(std::max<intptr_t>(X1, 0));
    Dialog->Rect.Top = static_cast<SHORT>(std::max<intptr_t>(Y1, 0));
    Place(*Dialog);
    Dialog->HelpTopic = Text(HelpTopic);
    Dialog->Flags = Flags;
    Dialog->Proc = DlgProc;
    Dialog->Param = Param;

    for (size_t I = 0; I < ItemsNumber; ++I) {
        const FarDialogItem& In = Item[I];
        THostItem Copy;
        Copy.Type = In.Type;
        if (In.Type == DI_COMBOBOX || In.Type == DI_USERCONTROL || In.Type > DI_LISTBOX)
            Error(L"DialogInit: item " + std::to_wstring(I) + L" has a type the simulated host does not simulate (" +
                  std::to_wstring(static_cast<unsigned>(In.Type)) + L")");
        Copy.X1 = In.X1;
        Copy.Y1 = In.Y1;
        Copy.X2 = std::max(In.X2, In.X1);
        Copy.Y2 = std::max(In.Y2, In.Y1);
        if (In.Type == DI_LISTBOX)
            Copy.InitialList = In.ListItems;
        else
            Copy.Selected = In.Selected;
        Copy.Flags = In.Flags;
        Copy.MaxLength = In.MaxLength;
        Copy.Data = CutToMax(Text(In.Data), In.MaxLength);
        Copy.History = Text(In.History);
        Copy.Mask = Text(In.Mask);
        Copy.UserData = In.UserData;
        Copy.CursorPos = static_cast<intptr_t>(Copy.Data.size());
        Dialog->Items.push_back(std::move(Copy));
    }

    const HANDLE Handle = Dialog->Handle;
    FLast = Handle;
    FDialogs.emplace(Handle, std::move(Dialog));
    return Handle;
}

void TDialogEngine::CreateObjects(THostDialog& Dialog)
{
    for (size_t I = 0; I < Dialog.Items.size(); ++I) {
        THostItem& Item = Dialog.Items[I];
        if (IsEdit(Item.Type)) {
            Item.Unchanged = StartsUnchanged(Item);
            Item.CursorPos = static_cast<intptr_t>(Item.Data.size());
        }
        if (Item.Type != DI_LISTBOX || Item.ListCreated)
            continue;
        Item.ListCreated = true;
        Item.List.Title = Item.Data;
        Item.List.ShowsAmpersand = (Item.Flags & DIF_LISTNOAMPERSAND) == 0;
        const FarList* List = Item.InitialList;
        if (List && FHost.CheckStructSize(List->StructSize, sizeof(FarList), "FarList", "DialogRun"))
            SetEntries(Dialog, static_cast<intptr_t>(I), *List, "DialogRun");
    }
    Dialog.Focus = -1;
    for (size_t I = 0; I < Dialog.Items.size() && Dialog.Focus < 0; ++I)
        if ((Dialog.Items[I].Flags & DIF_FOCUS) && CanFocus(Dialog.Items[I]))
            Dialog.Focus = static_cast<intptr_t>(I);
    for (size_t I = 0; I < Dialog.Items.size() && Dialog.Focus < 0; ++I)
        if (CanFocus(Dialog.Items[I]))
            Dialog.Focus = static_cast<intptr_t>(I);
}

intptr_t TDialogEngine::Run(HANDLE Handle)
{
    CheckThread("DialogRun");
    THostDialog* Found = Lookup(Handle, "DialogRun");
    if (!Found)
        return -1;
    THostDialog& Dialog = *Found; // cannot be freed while it runs
    if (Dialog.Flags & FDLG_NONMODAL)
        return -1;
    if (Dialog.State == THostDialogState::Running) {
        Error(L"DialogRun: the dialog is already running");
        return -1;
    }
    Dialog.State = THostDialogState::Running;
    FRunning.push_back(Handle);
    Dialog.Closing = false;
    Dialog.ExitCode = -1;
    Dialog.SynchroRequestsSeen = FHost.SynchroRequests();
    ++Dialog.Runs;
    // A repeated run goes on with the objects and the focus as they are.
    if (!Dialog.InitDialogSent) {
        CreateObjects(Dialog);
        Dialog.InitDialogSent = true;
        Notify(Dialog, DN_INITDIALOG, Dialog.Focus, Dialog.Param);
        Dialog.Initialised = true;
        // The real host tells the first focused item right after the start.
        if (Dialog.Focus >= 0 && !Dialog.Closing)
            Notify(Dialog, DN_GOTFOCUS, Dialog.Focus, nullptr);
    }

    // A dialog closed during DN_INITDIALOG never waits for input.
    TDialogInput* Input = FInput;
    TDialogScript Script;
    if (!Dialog.Closing && !Input) {
        if (FScripts.empty()) {
            Error(L"DialogRun: no dialog script is queued, so the dialog cannot get input");
        } else {
            Script = std::move(FScripts.front());
            FScripts.pop_front();
            Input = &Script;
        }
    }
    bool LockReported = false;
    while (Input && !Dialog.Closing) {
        FHost.DeliverSynchroEvents();
        if (Dialog.Closing)
            break;
        if (Dialog.RedrawLock > Dialog.RefusedResumes && !LockReported) {
            Error(L"the dialog waits for input while its redraw is suspended (DM_ENABLEREDRAW)");
            LockReported = true;
        }
        TDialogAction Action;
        if (!Input->NextFor(Dialog, Action)) {
            Error(L"the dialog script ended while the dialog was still open");
            Dialog.ExitCode = -1;
            break;
        }
        Perform(Dialog, Action);
    }
    if (Input == &Script && Script.Pending())
        Error(L"the dialog closed with " + std::to_wstring(Script.Pending()) + L" scripted actions left");
    Dialog.State = THostDialogState::Finished;
    FRunning.erase(std::remove(FRunning.begin(), FRunning.end(), Handle), FRunning.end());
    Dialog.Closing = false;
    return Dialog.ExitCode;
}

void TDialogEngine::Free(HANDLE Handle)
{
    CheckThread("DialogFree");
    if (Handle == INVALID_HANDLE_VALUE)
        return;
    THostDialog* Dialog = Lookup(Handle, "DialogFree");
    if (!Dialog)
        return;
    if (Dialog->State == THostDialogState::Running || Dialog->Busy) {
        Error(L"DialogFree: the dialog is still running or handling a notification");
        return;
    }
    FDialogs.erase(Handle);
}

intptr_t TDialogEngine::Send(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2)
{
    const std::string Service = std::string("SendDlgMessage(") + MessageName(Msg) + ")";
    CheckThread(Service.c_str());
    THostDialog* Dialog = Lookup(Handle, Service.c_str());
    if (!Dialog)
        return RefusedReply(Msg);
    if (Msg >= DM_USER)
        return Notify(*Dialog, Msg, Param1, Param2);
    return Dispatch(*Dialog, Msg, Param1, Param2);
}

void TDialogEngine::Refused(HANDLE Handle, intptr_t Msg, intptr_t Param1)
{
    THostDialog* Dialog = Find(Handle);
    if (!Dialog || Msg != DM_ENABLEREDRAW)
        return;
    if (Param1)
        ++Dialog->RefusedResumes;
    else
        ++Dialog->RefusedSuspends;
}

intptr_t TDialogEngine::DefProc(HANDLE Handle, intptr_t Msg, intptr_t Param1, void* Param2)
{
    CheckThread("DefDlgProc");
    THostDialog* Dialog = Lookup(Handle, "DefDlgProc");
    if (!Dialog)
        return 0;
    if (Msg < DN_FIRST)
        return Dispatch(*Dialog, Msg, Param1, Param2);
    return DefaultReply(*Dialog, Msg, Param1, Param2);
}

intptr_t TDialogEngine::DefaultReply(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    switch (Msg) {
    case DN_INITDIALOG: return FALSE;
    case DN_CLOSE: return TRUE;
    case DN_BTNCLICK: {
        if (Param1 < 0 || static_cast<size_t>(Param1) >= Dialog.Items.size())
            return TRUE;
        const THostItem& Item = Dialog.Items[static_cast<size_t>(Param1)];
        return (Item.Type == DI_BUTTON && !(Item.Flags & DIF_BTNNOCLOSE)) ? FALSE : TRUE;
    }
    case DN_EDITCHANGE:
    case DN_LISTCHANGE:
    case DN_INPUT:
    case DN_RESIZECONSOLE:
    case DN_HOTKEY:
    case DN_DRAGGED: return TRUE;
    case DN_KILLFOCUS: return -1;
    case DN_HELP: return reinterpret_cast<intptr_t>(Param2);
    default: return 0; // DN_GOTFOCUS, DN_CONTROLINPUT, drawing, DM_USER and above
    }
}

intptr_t TDialogEngine::Notify(THostDialog& Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    const size_t Index = FEvents.size();
    const bool Valued = Msg == DN_LISTCHANGE || Msg == DN_BTNCLICK;
    FEvents.push_back({Dialog.Handle, Msg, Param1, Valued ? reinterpret_cast<intptr_t>(Param2) : 0, 0});
    intptr_t Reply = 0;
    ++Dialog.Busy;
    if (!Dialog.Proc) {
        Reply = DefaultReply(Dialog, Msg, Param1, Param2);
    } else {
        try {
            Reply = Dialog.Proc(Dialog.Handle, Msg, Param1, Param2);
        } catch (...) {
            Error(L"an exception crossed into the host from the dialog procedure (" + Name(Msg) + L")");
            Reply = DefaultReply(Dialog, Msg, Param1, Param2);
        }
    }
    --Dialog.Busy;
    FEvents[Index].Reply = Reply;
    return Reply;
}
