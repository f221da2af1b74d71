#include "FarHost.h"
#include "HostServices.h"

namespace host {

intptr_t WINAPI SettingsControl(HANDLE, far3::FAR_SETTINGS_CONTROL_COMMANDS Command, intptr_t, void*)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record("SettingsControl");
    Host->Error(L"SettingsControl: command " + std::to_wstring(static_cast<unsigned>(Command)) +
                L" is not simulated");
    return 0;
}

} // namespace host
