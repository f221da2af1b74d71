#include "FarHost.h"
#include "HostServices.h"

namespace host {

intptr_t WINAPI EditorControl(intptr_t EditorID, far3::EDITOR_CONTROL_COMMANDS Command, intptr_t Param1, void* Param2)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return 0;
    Host->Record(EditorCommandName(Command));
    if (Host->FaultHere("EditorControl", EditorCommandName(Command)))
        return 0;
    return Host->Editors().Control(EditorID, Command, Param1, Param2);
}

} // namespace host
