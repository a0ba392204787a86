// A copy of the plugin module, loaded as the host loads it, with its exports by name.
#ifndef NIMBREL_TEST_LOADED_MODULE_H
#define NIMBREL_TEST_LOADED_MODULE_H

#include <string>

#if defined(_WIN32)
#define MODULE_CALL __stdcall
#else
#define MODULE_CALL
#endif

typedef const char *(MODULE_CALL *Export0)(void);
typedef const char *(MODULE_CALL *ExportInfo)(unsigned int);
typedef const char *(MODULE_CALL *Export1)(const char *);
typedef const char *(MODULE_CALL *Export2)(const char *, const char *);
typedef const char *(MODULE_CALL *Export3)(const char *, const char *, const char *);
typedef const char *(MODULE_CALL *Export4)(const char *, const char *, const char *, const char *);
typedef const char *(MODULE_CALL *Export5)(const char *, const char *, const char *, const char *,
                                           const char *);

struct LoadedModule {
    void *handle = nullptr;
    std::string path;

    // Loads the module at `modulePath` (start-up runs). Returns false and leaves it unloaded
    // on failure.
    bool Load(const std::string &modulePath);
    // Unloads it (shutdown runs). Safe to call when not loaded.
    void Unload();
    void *Symbol(const char *name) const;

    template <typename T> T Get(const char *name) const { return (T)Symbol(name); }

    ~LoadedModule() { Unload(); }
};

#endif
