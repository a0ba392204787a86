// The module's entry callback: start-up on process attach, shutdown on process detach. It
// reports success for every reason, so nothing inside start-up can make the load fail.
#if defined(_WIN32)

#include <windows.h>

#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        CoreModuleLoaded((void *)instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        CoreModuleUnloaded();
    }
    return TRUE;
}

#endif
