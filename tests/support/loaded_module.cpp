#include "support/loaded_module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

bool LoadedModule::Load(const std::string &modulePath) {
    Unload();
    path = modulePath;
#if defined(_WIN32)
    handle = (void *)LoadLibraryA(modulePath.c_str());
#else
    handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    return handle != nullptr;
}

void LoadedModule::Unload() {
    if (handle == nullptr) {
        return;
    }
#if defined(_WIN32)
    FreeLibrary((HMODULE)handle);
#else
    dlclose(handle);
#endif
    handle = nullptr;
}

void *LoadedModule::Symbol(const char *name) const {
    if (handle == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    return (void *)GetProcAddress((HMODULE)handle, name);
#else
    return dlsym(handle, name);
#endif
}
