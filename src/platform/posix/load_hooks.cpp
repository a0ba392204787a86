// The shared object's load and unload hooks: the counterpart of DllMain's process attach and
// detach. The address of a function of the module lets dladdr find the module's own path.
#if !defined(_WIN32)

#include "platform/platform.h"

__attribute__((constructor)) static void ModuleLoaded(void) {
    CoreModuleLoaded((void *)&ModuleLoaded);
}

__attribute__((destructor)) static void ModuleUnloaded(void) {
    CoreModuleUnloaded();
}

#endif
