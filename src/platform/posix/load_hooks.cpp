// The shared object's load and unload hooks: the counterpart of DllMain's process attach and
// detach. The address of a function of the module lets dladdr find the module's own path.
// Once a refresh thread has started, the module stays mapped until the process ends, and the
// unload hook runs then: it gives the refreshes still running their bound to finish, so that a
// one-shot host's refresh completes, before shutdown frees what they no longer touch anyway.
#if !defined(_WIN32)

#include "platform/platform.h"

__attribute__((constructor)) static void ModuleLoaded(void) {
    CoreModuleLoaded((void *)&ModuleLoaded);
}

__attribute__((destructor)) static void ModuleUnloaded(void) {
    CoreFinishRefreshes();
    CoreModuleUnloaded();
}

#endif
