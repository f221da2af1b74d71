#include "FarHost.h"
#include "HostServices.h"

namespace host {

intptr_t WINAPI SettingsControl(HANDLE Handle, far3::FAR_SETTINGS_CONTROL_COMMANDS Command, intptr_t Param1,
                                void* Param2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    return Host->Settings().Control(Handle, Command, Param1, Param2);
}

} // namespace host
