#include "FarHost.h"
#include "HostServices.h"

namespace {

void NotSimulated(const char* Service)
{
    if (TFarHost* Host = TFarHost::Current()) {
        Host->Record(Service);
        Host->Error(Widen(Service) + L" is not simulated");
    }
}

} // namespace

namespace host {

HANDLE WINAPI DialogInit(const GUID*, const GUID*, intptr_t, intptr_t, intptr_t, intptr_t, const wchar_t*,
                         const far3::FarDialogItem*, size_t, intptr_t, far3::FARDIALOGFLAGS, far3::FARWINDOWPROC,
                         void*)
{
    NotSimulated("DialogInit");
    return INVALID_HANDLE_VALUE;
}

intptr_t WINAPI DialogRun(HANDLE)
{
    NotSimulated("DialogRun");
    return -1;
}

void WINAPI DialogFree(HANDLE)
{
    NotSimulated("DialogFree");
}

intptr_t WINAPI SendDlgMessage(HANDLE, intptr_t, intptr_t, void*)
{
    NotSimulated("SendDlgMessage");
    return 0;
}

intptr_t WINAPI DefDlgProc(HANDLE, intptr_t, intptr_t, void*)
{
    NotSimulated("DefDlgProc");
    return 0;
}

} // namespace host
