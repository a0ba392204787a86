// The shared object's load and unload hooks: the counterpart of DllMain's process attach and
// detach. The address of a function of the module lets dladdr find the module's own path.
#if !defined(_WIN32)

#include "plugin/exports.h"

__attribute__((constructor)) static void ModuleLoaded(void) {
    NimbrelStartup((void *)&ModuleLoaded);
}

__attribute__((destructor)) static void ModuleUnloaded(void) {
    NimbrelCleanup();
}

#endif
