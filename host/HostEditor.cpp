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

intptr_t WINAPI Editor(const wchar_t* FileName, const wchar_t*, intptr_t X1, intptr_t Y1, intptr_t X2, intptr_t Y2,
                       far3::EDITOR_FLAGS Flags, intptr_t StartLine, intptr_t StartChar, uintptr_t CodePage)
{
    TFarHost* Host = TFarHost::Current();
    if (!Host)
        return far3::EEC_OPEN_ERROR;
    Host->Record("Editor");
    if (::GetCurrentThreadId() != Host->MainThreadId())
        Host->Error(L"Editor called from a thread other than the host's main thread");
    // Refused: nothing opens, as when the host cannot read the file.
    if (Host->FaultHere("Editor") || Host->IsFailing("Editor"))
        return far3::EEC_OPEN_ERROR;
    // Only a whole-screen editor is simulated.
    if (X1 != 0 || Y1 != 0 || X2 != -1 || Y2 != -1) {
        Host->Error(L"Editor: only the whole screen (0, 0, -1, -1) is simulated");
        return far3::EEC_OPEN_ERROR;
    }
    return Host->Editors().OpenFile(FileName, Flags, StartLine, StartChar, CodePage);
}

} // namespace host
