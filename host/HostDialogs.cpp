#include "FarHost.h"
#include "HostServices.h"

namespace host {

HANDLE WINAPI DialogInit(const GUID* PluginId, const GUID* Id, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                         const wchar_t* HelpTopic, const far3::FarDialogItem* Item, size_t ItemsNumber, intptr_t,
                         far3::FARDIALOGFLAGS Flags, far3::FARWINDOWPROC DlgProc, void* Param)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return INVALID_HANDLE_VALUE;
    Host->Record("DialogInit");
    if (Host->FaultHere("DialogInit"))
        return INVALID_HANDLE_VALUE;
    // As the real host refuses while it shuts down.
    if (Host->IsFailing("DialogInit"))
        return INVALID_HANDLE_VALUE;
    return Host->Dialogs().Init(PluginId, Id, X1, Y1, X2, Y2, HelpTopic, Item, ItemsNumber, Flags, DlgProc, Param);
}

intptr_t WINAPI DialogRun(HANDLE Dialog)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return -1;
    Host->Record("DialogRun");
    // Refused before the dialog starts, as while the host shuts down: no
    // DN_INITDIALOG, and no script is taken.
    if (Host->FaultHere("DialogRun"))
        return -1;
    return Host->Dialogs().Run(Dialog);
}

void WINAPI DialogFree(HANDLE Dialog)
{
    if (TFarHost* Host = TFarHost::Current()) {
        Host->Record("DialogFree");
        // Answers nothing: refused, the handle is gone for the plugin all
        // the same, and a later use of it is an error.
        Host->FaultHere("DialogFree");
        Host->Dialogs().Free(Dialog);
    }
}

// Recorded twice, as the service and as the message, so a test can count
// either.
intptr_t WINAPI SendDlgMessage(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record("SendDlgMessage");
    Host->Record(TDialogEngine::MessageName(Msg));
    // Answered as for a handle the host does not know, and not carried out.
    if (Host->FaultHere("SendDlgMessage", TDialogEngine::MessageName(Msg))) {
        Host->Dialogs().Refused(Dialog, Msg, Param1);
        return TDialogEngine::RefusedReply(Msg);
    }
    return Host->Dialogs().Send(Dialog, Msg, Param1, Param2);
}

intptr_t WINAPI DefDlgProc(HANDLE Dialog, intptr_t Msg, intptr_t Param1, void* Param2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record("DefDlgProc");
    // Refused: no default handling, and the answer 0.
    if (Host->FaultHere("DefDlgProc", TDialogEngine::MessageName(Msg)))
        return 0;
    return Host->Dialogs().DefProc(Dialog, Msg, Param1, Param2);
}

} // namespace host
