// nimbrel-host: a stand-in for the panel host. It loads the plugin module, calls its exports by
// name with text arguments, and prints what they return.
//
//   nimbrel-host [--module PATH] FUNCTION [ARG...]   one call; the result and a line feed
//   nimbrel-host [--module PATH] --list              every function of init with its prompts
//   nimbrel-host [--module PATH] --info              getinfo 0 to 4
//   nimbrel-host [--module PATH] --batch FILE|-      one call per line, tab-separated
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define HOST_CALL __stdcall
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#define HOST_CALL
#endif

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

typedef const char *(HOST_CALL *Call0)(void);
typedef const char *(HOST_CALL *CallInfo)(unsigned int);
typedef const char *(HOST_CALL *Call1)(const char *);
typedef const char *(HOST_CALL *Call2)(const char *, const char *);
typedef const char *(HOST_CALL *Call3)(const char *, const char *, const char *);
typedef const char *(HOST_CALL *Call4)(const char *, const char *, const char *, const char *);
typedef const char *(HOST_CALL *Call5)(const char *, const char *, const char *, const char *,
                                       const char *);

static const int kUsageStatus = 2;

#if defined(_WIN32)
static const char kModuleName[] = "nimbrel.dll";
static const char kSeparator = '\\';
#else
static const char kModuleName[] = "nimbrel.so";
static const char kSeparator = '/';
#endif

static void *gModule;

static std::string DefaultModulePath() {
    char self[4096];
#if defined(_WIN32)
    DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
    if (length == 0 || length >= sizeof self) {
        return kModuleName;
    }
#else
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return kModuleName;
    }
    self[length] = '\0';
#endif
    std::string path(self);
    size_t slash = path.find_last_of(kSeparator);
    return slash == std::string::npos ? kModuleName : path.substr(0, slash + 1) + kModuleName;
}

static int LoadModule(const std::string &path) {
#if defined(_WIN32)
    gModule = (void *)LoadLibraryA(path.c_str());
    if (gModule == NULL) {
        fprintf(stderr, "nimbrel-host: cannot load %s (error %lu)\n", path.c_str(),
                (unsigned long)GetLastError());
        return 0;
    }
#else
    gModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (gModule == NULL) {
        fprintf(stderr, "nimbrel-host: cannot load %s: %s\n", path.c_str(), dlerror());
        return 0;
    }
#endif
    return 1;
}

static void UnloadModule() {
#if defined(_WIN32)
    FreeLibrary((HMODULE)gModule);
#else
    dlclose(gModule);
#endif
}

static void *Symbol(const char *name) {
#if defined(_WIN32)
    return (void *)GetProcAddress((HMODULE)gModule, name);
#else
    return dlsym(gModule, name);
#endif
}

static std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

static const char *CallText0(const char *name) {
    Call0 call = (Call0)Symbol(name);
    return call ? call() : NULL;
}

static std::string GetParam(const char *name) {
    Call1 getparam = (Call1)Symbol("getparam");
    const char *prompts = getparam ? getparam(name) : NULL;
    return prompts ? prompts : "";
}

static std::vector<std::string> Prompts(const char *name) {
    std::string text = GetParam(name);
    std::vector<std::string> prompts = Split(text, '|');
    prompts.pop_back(); // every prompt ends with "|"; the last piece is empty
    return prompts;
}

static bool IsListedFunction(const std::string &name) {
    const char *list = CallText0("init");
    if (list == NULL) {
        return false;
    }
    for (const std::string &listed : Split(list, '|')) {
        if (listed == name) {
            return true;
        }
    }
    return false;
}

// How many text arguments the function takes, or -1 when the module offers no such function.
static int ArgumentCount(const std::string &name) {
    if (name == "init") {
        return 0;
    }
    if (name == "getinfo" || name == "getparam") {
        return 1;
    }
    if (!IsListedFunction(name)) {
        return -1;
    }
    return (int)Prompts(name.c_str()).size();
}

// Calls one export. Returns 1 and sets *result, or prints the reason and returns 0.
static int Invoke(const std::string &name, const std::vector<std::string> &args,
                  std::string *result) {
    int expected = ArgumentCount(name);
    if (expected < 0) {
        fprintf(stderr, "nimbrel-host: the module has no function %s\n", name.c_str());
        return 0;
    }
    if ((int)args.size() != expected) {
        fprintf(stderr, "nimbrel-host: %s takes %d argument%s, not %d\n", name.c_str(), expected,
                expected == 1 ? "" : "s", (int)args.size());
        return 0;
    }
    void *symbol = Symbol(name.c_str());
    if (symbol == NULL) {
        fprintf(stderr, "nimbrel-host: the module does not export %s\n", name.c_str());
        return 0;
    }
    const char *text = NULL;
    const char *a[5] = {NULL, NULL, NULL, NULL, NULL};
    for (size_t i = 0; i < args.size() && i < 5; i++) {
        a[i] = args[i].c_str();
    }
    if (name == "getinfo") {
        text = ((CallInfo)symbol)((unsigned int)strtoul(a[0], NULL, 10));
    } else {
        switch (expected) {
        case 0:
            text = ((Call0)symbol)();
            break;
        case 1:
            text = ((Call1)symbol)(a[0]);
            break;
        case 2:
            text = ((Call2)symbol)(a[0], a[1]);
            break;
        case 3:
            text = ((Call3)symbol)(a[0], a[1], a[2]);
            break;
        case 4:
            text = ((Call4)symbol)(a[0], a[1], a[2], a[3]);
            break;
        case 5:
            text = ((Call5)symbol)(a[0], a[1], a[2], a[3], a[4]);
            break;
        default:
            fprintf(stderr, "nimbrel-host: %s takes %d arguments; at most 5 are supported\n",
                    name.c_str(), expected);
            return 0;
        }
    }
    if (text == NULL) {
        fprintf(stderr, "nimbrel-host: %s returned no text\n", name.c_str());
        return 0;
    }
    *result = text;
    return 1;
}

static std::string Escape(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

static void PrintRaw(const std::string &text) {
    fwrite(text.data(), 1, text.size(), stdout);
    fputc('\n', stdout);
}

static int ListFunctions() {
    const char *list = CallText0("init");
    if (list == NULL) {
        fprintf(stderr, "nimbrel-host: the module does not export init\n");
        return 1;
    }
    for (const std::string &name : Split(list, '|')) {
        std::vector<std::string> prompts = Prompts(name.c_str());
        printf("%s (%d argument%s)\n", name.c_str(), (int)prompts.size(),
               prompts.size() == 1 ? "" : "s");
        for (size_t i = 0; i < prompts.size(); i++) {
            printf("  %d. %s\n", (int)i + 1, Escape(prompts[i]).c_str());
        }
    }
    return 0;
}

static int ShowInfo() {
    CallInfo getinfo = (CallInfo)Symbol("getinfo");
    if (getinfo == NULL) {
        fprintf(stderr, "nimbrel-host: the module does not export getinfo\n");
        return 1;
    }
    static const char *const kLabels[] = {"name", "author", "version", "(reserved)", "built"};
    for (unsigned int type = 0; type <= 4; type++) {
        printf("%u %-10s %s\n", type, kLabels[type], getinfo(type));
    }
    return 0;
}

static int RunBatch(const char *path) {
    FILE *input = strcmp(path, "-") == 0 ? stdin : fopen(path, "rb");
    if (input == NULL) {
        fprintf(stderr, "nimbrel-host: cannot read %s\n", path);
        return kUsageStatus;
    }
    int status = 0;
    std::string line;
    int c;
    for (;;) {
        c = fgetc(input);
        if (c != EOF && c != '\n') {
            line += (char)c;
            continue;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            std::vector<std::string> fields = Split(line, '\t');
            std::string name = fields[0];
            fields.erase(fields.begin());
            std::string result;
            if (Invoke(name, fields, &result)) {
                PrintRaw(Escape(result));
            } else {
                PrintRaw("");
                status = kUsageStatus;
            }
            fflush(stdout);
        }
        line.clear();
        if (c == EOF) {
            break;
        }
    }
    if (input != stdin) {
        fclose(input);
    }
    return status;
}

static int Usage() {
    fprintf(stderr, "usage: nimbrel-host [--module PATH] FUNCTION [ARG...]\n"
                    "       nimbrel-host [--module PATH] --list | --info | --batch FILE|-\n");
    return kUsageStatus;
}

int main(int argc, char **argv) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::string modulePath = DefaultModulePath();
    int next = 1;
    if (next < argc && strcmp(argv[next], "--module") == 0) {
        if (next + 1 >= argc) {
            return Usage();
        }
        modulePath = argv[next + 1];
        next += 2;
    }
    if (next >= argc) {
        return Usage();
    }
    std::string command = argv[next++];
    if ((command == "--list" || command == "--info") && next != argc) {
        return Usage();
    }
    if (command == "--batch" && next + 1 != argc) {
        return Usage();
    }
    if (!LoadModule(modulePath)) {
        return 1;
    }
    int status;
    if (command == "--list") {
        status = ListFunctions();
    } else if (command == "--info") {
        status = ShowInfo();
    } else if (command == "--batch") {
        status = RunBatch(argv[next]);
    } else {
        std::vector<std::string> args(argv + next, argv + argc);
        std::string result;
        status = Invoke(command, args, &result) ? (PrintRaw(result), 0) : kUsageStatus;
    }
    fflush(stdout);
    UnloadModule();
    return status;
}
