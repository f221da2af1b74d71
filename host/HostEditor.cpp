#include "FarHost.h"
#include "HostServices.h"

namespace host {

intptr_t WINAPI EditorControl(intptr_t, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t, void*)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record("EditorControl");
    Host->Error(L"EditorControl: command " + std::to_wstring(static_cast<unsigned>(Command)) + L" is not simulated");
    return 0;
}

} // namespace host
