// A copy of the built module in a folder of its own, with its own settings file and TEMP, so
// that a test sees exactly the files that start-up and shutdown create.
#ifndef NIMBREL_TEST_PLUGIN_COPY_H
#define NIMBREL_TEST_PLUGIN_COPY_H

#include <string>

#include "support/loaded_module.h"
#include "support/sandbox.h"

struct PluginCopy {
    std::string folder;   // holds the module copy and its settings file
    std::string temp;     // the TEMP folder the module sees
    std::string module;   // path of the module copy
    std::string settings; // where its settings file belongs
    LoadedModule loaded;

    explicit PluginCopy(const std::string &label, const std::string &baseName = "nimbrel",
                        const std::string &extension = sandbox::kModuleExtension) {
        folder = sandbox::MakeFolder(label);
        temp = sandbox::Join(folder, "T");
        sandbox::MakeFolderAt(temp);
        module = sandbox::Join(folder, baseName + extension);
        settings = sandbox::Join(folder, baseName + ".ini");
        sandbox::CopyPath(sandbox::ModulePath(), module);
    }
    ~PluginCopy() {
        loaded.Unload();
        sandbox::RemoveTree(folder);
    }

    void WriteSettings(const std::string &content) { sandbox::WriteFile(settings, content); }

    // Takes the weather from the feed and points every service host at `hostPort` (default: a
    // closed loopback port, so that any download fails at once and nothing leaves the machine).
    void UseServiceAt(const std::string &hostPort = "127.0.0.1:9", const std::string &more = "") {
        WriteSettings("[Service]\nProvider=feed\nFeedHost=" + hostPort +
                      "\nNarrativeHost=" + hostPort + "\nPageHost=" + hostPort +
                      "\nConnectivityUrl=http://" + hostPort + "/\n" + more);
    }

    // Loads the copy with TEMP pointing at `temp`.
    bool Load() {
        sandbox::SetEnv("TEMP", temp);
        return loaded.Load(module);
    }
    void Unload() { loaded.Unload(); }

    const char *Call0(const char *name) { return loaded.Get<Export0>(name)(); }
    const char *Call1(const char *name, const char *a) { return loaded.Get<Export1>(name)(a); }
    const char *Info(unsigned int type) { return loaded.Get<ExportInfo>("getinfo")(type); }
};

#endif
