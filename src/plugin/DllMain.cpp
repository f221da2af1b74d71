#include "plugin/uLibrary.h"

#include <windows.h>

// Nothing here starts threads, waits or loads libraries: the loader lock is
// held while this runs.
extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved)
{
    switch (Reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(Instance);
        try {
            LibraryInitialize();
        } catch (...) {
            return FALSE;
        }
        break;
    case DLL_PROCESS_DETACH:
        // At process exit other threads are already gone and their locks
        // may be held; freeing memory would be both pointless and risky, but
        // temporary files would outlive the process.
        if (Reserved == nullptr)
            LibraryFinalize();
        else
            LibraryProcessExit();
        break;
    }
    return TRUE;
}
