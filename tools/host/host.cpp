// nimbrel-host: a stand-in for the panel host. It loads the plugin module, calls its exports by
// name with text arguments, and prints what they return.
//
//   nimbrel-host [--module PATH] FUNCTION [ARG...]   one call; the result and a line feed
//   nimbrel-host [--module PATH] --list              every function of init with its prompts,
//                                                    and the terms each term list names
//   nimbrel-host [--module PATH] --check             the settings, each service they name and
//                                                    the cache folder, checked for a user
//   nimbrel-host [--module PATH] --info              getinfo 0 to 4
//   nimbrel-host [--module PATH] --batch FILE|-      one call per line, tab-separated
//   nimbrel-host [--module PATH] --json FUNCTION [ARG...] [--tooltip FUNCTION [ARG...]]
//       one call (and a second one for the tooltip) as the JSON object that status bars read
//
// A call and a --json call answer from a detached child process: see AnswerFromChild.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define HOST_CALL __stdcall
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>
#define HOST_CALL
#endif

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "check.h"

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

// The module finds its settings beside the path it was loaded by, which must be a full one.
static std::string FullPath(const std::string &path) {
#if defined(_WIN32)
    return path;
#else
    char full[PATH_MAX];
    return realpath(path.c_str(), full) ? std::string(full) : path;
#endif
}

static int LoadModule(const std::string &givenPath) {
    std::string path = FullPath(givenPath);
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

#if !defined(_WIN32)
// The length of the valid UTF-8 sequence that starts at `at`, or 0 when the bytes there are not
// one (a stray continuation byte, a cut-off sequence, an overlong form, a surrogate, a value
// beyond U+10FFFF).
static size_t Utf8SequenceLength(const std::string &text, size_t at) {
    unsigned char lead = (unsigned char)text[at];
    size_t length;
    unsigned long code, smallest;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1Fu, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0Fu, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07u, smallest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; k++) {
        unsigned char next = (unsigned char)text[at + k];
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < smallest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return 0;
    }
    return length;
}
#endif

// The module's texts are in the ANSI code page; JSON wants UTF-8. On Windows the text is
// converted from the code page; elsewhere the code page is UTF-8 already, and a byte that does
// not belong to a valid sequence becomes U+FFFD, so a status bar never rejects the whole line.
static std::string ToUtf8(const std::string &text) {
#if defined(_WIN32)
    if (text.empty()) {
        return text;
    }
    int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), NULL, 0);
    if (wide <= 0) {
        return std::string();
    }
    std::vector<wchar_t> buffer((size_t)wide);
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), buffer.data(), wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, NULL, 0, NULL, NULL);
    if (bytes <= 0) {
        return std::string();
    }
    std::string out((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, &out[0], bytes, NULL, NULL);
    return out;
#else
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t length = Utf8SequenceLength(text, i);
        if (length > 0) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            i++;
        }
    }
    return out;
#endif
}

// Replaces every "%b" (the host's line break) by `lineBreak`.
static std::string BreakLines(const std::string &text, const char *lineBreak) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t mark = text.find("%b", start);
        if (mark == std::string::npos) {
            return out + text.substr(start);
        }
        out += text.substr(start, mark - start);
        out += lineBreak;
        start = mark + 2;
    }
}

// Whether a whole result is a failure rather than a value: the module's error texts, a value
// that could not be had, or a lock that was not granted.
static bool IsFailure(const std::string &text) {
    return text.compare(0, 5, "ERROR") == 0 || text == "N/A" || text == "mutex timeout";
}

// One call as {"text": ..., "tooltip": ..., "class": ...}: in the text "%b" becomes a blank (a
// bar shows one line), in the tooltip a line feed. "tooltip" is there only with a second call,
// "class" ("error") only when the first call failed. Returns the exit status.
static int RunJson(const std::vector<std::string> &words) {
    std::vector<std::string> call(words), tip;
    for (size_t i = 0; i < words.size(); i++) {
        if (words[i] == "--tooltip") {
            call.assign(words.begin(), words.begin() + (long)i);
            tip.assign(words.begin() + (long)i + 1, words.end());
            break;
        }
    }
    bool wantsTooltip = call.size() != words.size();
    if (call.empty() || (wantsTooltip && tip.empty())) {
        fprintf(stderr, "nimbrel-host: --json needs a function%s\n",
                wantsTooltip ? " before and after --tooltip" : "");
        return kUsageStatus;
    }
    std::string text, tooltip;
    if (!Invoke(call[0], std::vector<std::string>(call.begin() + 1, call.end()), &text)) {
        return kUsageStatus;
    }
    if (wantsTooltip &&
        !Invoke(tip[0], std::vector<std::string>(tip.begin() + 1, tip.end()), &tooltip)) {
        return kUsageStatus;
    }
    rapidjson::StringBuffer json;
    rapidjson::Writer<rapidjson::StringBuffer> writer(json);
    std::string line = ToUtf8(BreakLines(text, " "));
    writer.StartObject();
    writer.Key("text");
    writer.String(line.data(), (rapidjson::SizeType)line.size());
    if (wantsTooltip) {
        std::string lines = ToUtf8(BreakLines(tooltip, "\n"));
        writer.Key("tooltip");
        writer.String(lines.data(), (rapidjson::SizeType)lines.size());
    }
    if (IsFailure(text)) {
        writer.Key("class");
        writer.String("error");
    }
    writer.EndObject();
    PrintRaw(std::string(json.GetString(), json.GetSize()));
    return 0;
}

// Every function with its prompts; a function without arguments is a term list, shown under it
// as the host shows it, its "%b" marks and line feeds as line breaks.
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
        const char *terms = prompts.empty() ? CallText0(name.c_str()) : NULL;
        if (terms != NULL) {
            for (const std::string &line : Split(BreakLines(terms, "\n"), '\n')) {
                printf("%s%s\n", line.empty() ? "" : "    ", line.c_str());
            }
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

#if defined(_WIN32)
// The module answers from its cache at once and may leave a refresh running on a thread of its
// own, which ends with the process. A panel that starts one process per meter waits for that
// process, so the process it started only passes the answer on: it starts itself again as a
// detached process (no console, a process group of its own) with the marker kChildMarker and the
// handle of a status pipe first on its command line and a pipe for its standard output. The
// child loads the module, makes the call, writes the answer and its exit status into the pipes
// and lets go of them, then waits for the module's refreshes to end and exits, while its parent
// has long returned. Returns -1 in the child, or when no child could be started (this process
// then makes the call itself), else the child's status.
static const char kChildMarker[] = "--answer-to-parent";
static HANDLE gStatusPipe = NULL; // the child's end of the status pipe, or NULL

// How long a child waits for the module's refreshes after its answer: their own bound (about
// 15 s) and room for a loaded machine.
static const DWORD kRefreshesWaitMs = 30000;

// In the child: takes the marker and the status pipe's handle off the arguments.
static void TakeChildMarker(int *argc, char ***argv) {
    if (*argc < 3 || strcmp((*argv)[1], kChildMarker) != 0) {
        return;
    }
    gStatusPipe = (HANDLE)(uintptr_t)strtoull((*argv)[2], NULL, 16);
    (*argv)[2] = (*argv)[0];
    *argv += 2;
    *argc -= 2;
}

// The command line after the program's name, as this process was given it: the child reads
// its arguments exactly as its parent did.
static const char *ArgumentsOfCommandLine() {
    const char *line = GetCommandLineA();
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line ? line + 1 : "";
    } else {
        while (*line && *line != ' ' && *line != '\t') {
            line++;
        }
    }
    return line;
}

static void CloseAll(HANDLE a, HANDLE b, HANDLE c, HANDLE d) {
    HANDLE handles[] = {a, b, c, d};
    for (HANDLE handle : handles) {
        if (handle != NULL && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
}

static int AnswerFromChild() {
    if (gStatusPipe != NULL) {
        return -1; // this is the child
    }
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
    if (length == 0 || length >= sizeof self) {
        return -1;
    }
    // Only the child's ends of the pipes, and a copy of this process's error output, may pass
    // to the child: a copy of this process's own output there would keep the panel waiting.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE answerRead = NULL, answerWrite = NULL, statusRead = NULL, statusWrite = NULL;
    if (!CreatePipe(&answerRead, &answerWrite, &inherit, 0)) {
        return -1;
    }
    if (!CreatePipe(&statusRead, &statusWrite, &inherit, 0)) {
        CloseAll(answerRead, answerWrite, NULL, NULL);
        return -1;
    }
    SetHandleInformation(answerRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(statusRead, HANDLE_FLAG_INHERIT, 0);
    DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (DWORD kind : kinds) {
        HANDLE own = GetStdHandle(kind);
        if (own != NULL && own != INVALID_HANDLE_VALUE) {
            SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);
        }
    }
    HANDLE errors = NULL;
    HANDLE ownErrors = GetStdHandle(STD_ERROR_HANDLE);
    if (ownErrors != NULL && ownErrors != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), ownErrors, GetCurrentProcess(), &errors, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    }
    char marker[64];
    snprintf(marker, sizeof marker, "\" %s %llx", kChildMarker,
             (unsigned long long)(uintptr_t)statusWrite);
    std::string commandLine = std::string("\"") + self + marker + ArgumentsOfCommandLine();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = NULL;
    startup.hStdOutput = answerWrite;
    startup.hStdError = errors;
    PROCESS_INFORMATION child = {};
    fflush(stdout);
    fflush(stderr);
    DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP;
    // Outside a job that ends its processes with the panel's, where the job allows it.
    BOOL started = CreateProcessA(self, &commandLine[0], NULL, NULL, TRUE,
                                  flags | CREATE_BREAKAWAY_FROM_JOB, NULL, NULL, &startup, &child);
    if (!started) {
        started = CreateProcessA(self, &commandLine[0], NULL, NULL, TRUE, flags, NULL, NULL,
                                 &startup, &child);
    }
    CloseAll(answerWrite, statusWrite, errors, NULL);
    if (!started) {
        CloseAll(answerRead, statusRead, NULL, NULL);
        return -1;
    }
    CloseAll(child.hProcess, child.hThread, NULL, NULL);
    char buffer[4096];
    DWORD got;
    while (ReadFile(answerRead, buffer, sizeof buffer, &got, NULL) && got > 0) {
        fwrite(buffer, 1, got, stdout);
    }
    unsigned char code = 1; // a child that ended without a word failed
    BOOL told = ReadFile(statusRead, &code, 1, &got, NULL) && got == 1;
    CloseAll(answerRead, statusRead, NULL, NULL);
    fflush(stdout);
    return told ? code : 1;
}

// In the child: the answer is out; the parent's pipes and its error output are let go of.
static void ReleaseParent(int status) {
    if (gStatusPipe == NULL) {
        return;
    }
    fflush(stdout);
    fflush(stderr);
    unsigned char code = (unsigned char)status;
    DWORD written;
    WriteFile(gStatusPipe, &code, 1, &written, NULL);
    CloseHandle(gStatusPipe);
    int nothing = _open("NUL", _O_RDWR);
    if (nothing >= 0) {
        _dup2(nothing, _fileno(stdout)); // closes the answer pipe
        _dup2(nothing, _fileno(stderr)); // and the copy of the parent's error output
        _close(nothing);
    }
    // The handles of the standard streams may be closed above or not: they go either way.
    SetStdHandle(STD_OUTPUT_HANDLE, NULL);
    SetStdHandle(STD_ERROR_HANDLE, NULL);
}

// In the child, after the module was unloaded: its refresh threads each hold the module, so it
// is gone from the process once the last has ended. The process waits for that, within their
// bound, since their threads end with it.
static void WaitForModuleRefreshes(const char *path) {
    if (gStatusPipe == NULL || path[0] == '\0') {
        return;
    }
    DWORD start = GetTickCount();
    HMODULE module;
    while (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path, &module) &&
           GetTickCount() - start < kRefreshesWaitMs) {
        Sleep(50);
    }
}
#else
// The module answers from its cache at once and may leave a refresh running, which it finishes
// before the process ends. A panel that starts one process per meter (conky, waybar) waits for
// that process, so the process it started only passes the answer on: a child of its own, in a
// session of its own, loads the module, makes the call, writes the answer and its exit status
// into two pipes and lets go of them, then finishes the refresh and ends, while its parent has
// long returned. Returns -1 in the child (which goes on with the call), else the child's status.
static int gStatusPipe = -1; // the child's end of the status pipe, or -1

static int AnswerFromChild() {
    int answer[2], status[2];
    if (pipe(answer) != 0) {
        return -1; // no pipe: this process makes the call itself
    }
    if (pipe(status) != 0) {
        close(answer[0]);
        close(answer[1]);
        return -1;
    }
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child < 0) {
        close(answer[0]);
        close(answer[1]);
        close(status[0]);
        close(status[1]);
        return -1;
    }
    if (child == 0) {
        setsid();
        close(answer[0]);
        close(status[0]);
        dup2(answer[1], STDOUT_FILENO);
        close(answer[1]);
        gStatusPipe = status[1];
        return -1;
    }
    close(answer[1]);
    close(status[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(answer[0], buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            continue; // interrupted
        }
        fwrite(buffer, 1, (size_t)got, stdout);
    }
    unsigned char code = 1; // a child that ended without a word failed
    while ((got = read(status[0], &code, 1)) < 0) {
    }
    close(answer[0]);
    close(status[0]);
    fflush(stdout);
    return got == 1 ? code : 1;
}

// In the child: the answer is out; the parent's pipes and streams are let go of.
static void ReleaseParent(int status) {
    if (gStatusPipe < 0) {
        return;
    }
    fflush(stdout);
    fflush(stderr);
    unsigned char code = (unsigned char)status;
    while (write(gStatusPipe, &code, 1) < 0) {
    }
    close(gStatusPipe);
    int nothing = open("/dev/null", O_RDWR);
    if (nothing >= 0) {
        dup2(nothing, STDIN_FILENO);
        dup2(nothing, STDOUT_FILENO);
        dup2(nothing, STDERR_FILENO);
        close(nothing);
    }
}
#endif

static int Usage() {
    fprintf(stderr, "usage: nimbrel-host [--module PATH] FUNCTION [ARG...]\n"
                    "       nimbrel-host [--module PATH] --list | --info | --check | --batch "
                    "FILE|-\n"
                    "       nimbrel-host [--module PATH] --json FUNCTION [ARG...] "
                    "[--tooltip FUNCTION [ARG...]]\n");
    return kUsageStatus;
}

int main(int argc, char **argv) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
    TakeChildMarker(&argc, &argv);
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
    if ((command == "--list" || command == "--info" || command == "--check") && next != argc) {
        return Usage();
    }
    if (command == "--batch" && next + 1 != argc) {
        return Usage();
    }
    // --check is a person's question: it makes no refresh to leave behind, and a child that
    // outlived it would write the settings back after the person changed them.
    if (command != "--list" && command != "--info" && command != "--batch" &&
        command != "--check") {
        int answered = AnswerFromChild();
        if (answered >= 0) {
            return answered;
        }
    }
    if (!LoadModule(modulePath)) {
        ReleaseParent(1);
        return 1;
    }
    int status;
    if (command == "--list") {
        status = ListFunctions();
    } else if (command == "--info") {
        status = ShowInfo();
    } else if (command == "--check") {
        printf("module: %s\n", FullPath(modulePath).c_str());
#if defined(_WIN32)
        status = RunCheck(gModule);
#else
        status = RunCheck(Symbol("init"));
#endif
    } else if (command == "--batch") {
        status = RunBatch(argv[next]);
    } else if (command == "--json") {
        status = RunJson(std::vector<std::string>(argv + next, argv + argc));
    } else {
        std::vector<std::string> args(argv + next, argv + argc);
        std::string result;
        status = Invoke(command, args, &result) ? (PrintRaw(result), 0) : kUsageStatus;
    }
    fflush(stdout);
    ReleaseParent(status);
#if defined(_WIN32)
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA((HMODULE)gModule, loaded, sizeof loaded);
    UnloadModule();
    WaitForModuleRefreshes(loaded);
#else
    UnloadModule();
#endif
    return status;
}
