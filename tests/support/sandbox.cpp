#include "support/sandbox.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

namespace fs = std::filesystem;

namespace sandbox {

#if defined(_WIN32)
const char kSeparator = '\\';
const char kModuleExtension[] = ".dll";
static const char kProgramExtension[] = ".exe";
#else
const char kSeparator = '/';
const char kModuleExtension[] = ".so";
static const char kProgramExtension[] = "";
#endif

std::string MakeFolder(const std::string &label) {
    static std::atomic<int> counter{0};
    std::error_code error;
    // Taken once: tests change TEMP for the module, and their folders must not follow it.
    static const fs::path base = [] {
        std::error_code e;
        fs::path temp = fs::temp_directory_path(e);
        return e ? fs::current_path() : temp;
    }();
    for (;;) {
        std::ostringstream name;
        name << "nimbrel-test-" << label << "-"
#if defined(_WIN32)
             << GetCurrentProcessId()
#else
             << getpid()
#endif
             << "-" << counter++;
        fs::path folder = base / name.str();
        if (fs::create_directory(folder, error)) {
            return folder.string();
        }
        if (error && error != std::errc::file_exists) {
            return folder.string();
        }
    }
}

void RemoveTree(const std::string &path) {
    std::error_code error;
    fs::remove_all(path, error);
}

void MakeFolderAt(const std::string &path) {
    std::error_code error;
    fs::create_directories(path, error);
    // Whatever the umask: the module takes no cache folder that group or others may write.
    fs::permissions(path, fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, error);
}

std::string Join(const std::string &folder, const std::string &name) {
    return folder + kSeparator + name;
}

bool Exists(const std::string &path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool IsFolder(const std::string &path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void CopyPath(const std::string &from, const std::string &to) {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
}

std::string BuildFolder() {
    char self[4096];
#if defined(_WIN32)
    DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
    std::string path(self, length);
#else
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? (size_t)length : 0);
#endif
    return path.substr(0, path.find_last_of(kSeparator));
}

std::string ModulePath() {
    return Join(BuildFolder(), std::string("nimbrel") + kModuleExtension);
}

std::string ProgramPath(const std::string &name) {
    return Join(BuildFolder(), name + kProgramExtension);
}

void SetEnv(const std::string &name, const std::string &value) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    _putenv_s(name.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string &name) {
#if defined(_WIN32)
    SetEnvironmentVariableA(name.c_str(), NULL);
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

#if defined(_WIN32)
static std::string QuoteArgument(const std::string &argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

static std::string CommandLine(const std::vector<std::string> &argv) {
    std::string line;
    for (const std::string &argument : argv) {
        line += (line.empty() ? "" : " ") + QuoteArgument(argument);
    }
    return line;
}
#endif

long StartProcess(const std::vector<std::string> &argv) {
#if defined(_WIN32)
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string line = CommandLine(argv);
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    return (long)(intptr_t)process.hProcess;
#else
    std::vector<char *> args;
    for (const std::string &argument : argv) {
        args.push_back(const_cast<char *>(argument.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    return (long)pid;
#endif
}

int WaitProcess(long process) {
#if defined(_WIN32)
    HANDLE handle = (HANDLE)(intptr_t)process;
    WaitForSingleObject(handle, INFINITE);
    DWORD status = (DWORD)-1;
    GetExitCodeProcess(handle, &status);
    CloseHandle(handle);
    return (int)status;
#else
    int status = 0;
    if (waitpid((pid_t)process, &status, 0) < 0) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

int RunProcess(const std::vector<std::string> &argv, const std::string &input,
               std::string *output) {
    // Through files rather than pipes: simple, and the same on both platforms.
    std::string folder = MakeFolder("run");
    std::string inPath = Join(folder, "in"), outPath = Join(folder, "out");
    WriteFile(inPath, input);
    int status = -1;
#if defined(_WIN32)
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), NULL, TRUE};
    HANDLE in = CreateFileA(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                            0, NULL);
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, NULL);
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string line = CommandLine(argv);
    if (CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        CloseHandle(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = (DWORD)-1;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        status = (int)code;
    }
    CloseHandle(in);
    CloseHandle(out);
#else
    std::vector<char *> args;
    for (const std::string &argument : argv) {
        args.push_back(const_cast<char *>(argument.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        status = WaitProcess((long)pid);
    }
    posix_spawn_file_actions_destroy(&actions);
#endif
    *output = ReadFile(outPath);
    RemoveTree(folder);
    return status;
}

bool WaitForFile(const std::string &path, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (Exists(path)) {
            return true;
        }
        SleepMilliseconds(10);
    }
    return Exists(path);
}

#if defined(_WIN32)
bool MountSmallDisk(const std::string &, int) {
    return false;
}
std::string FillDisk(const std::string &path) {
    return Join(path, "filler");
}
bool MakeDiskReadOnly(const std::string &, bool) {
    return false;
}
void UnmountSmallDisk(const std::string &) {}
#else
static int RunQuietly(const std::vector<std::string> &argv) {
    std::string output;
    return RunProcess(argv, "", &output);
}

bool MountSmallDisk(const std::string &path, int kilobytes) {
    if (geteuid() != 0) {
        return false;
    }
    std::filesystem::create_directories(path);
    return RunQuietly({"/bin/mount", "-t", "tmpfs", "-o", "size=" + std::to_string(kilobytes) + "k",
                       "tmpfs", path}) == 0;
}

std::string FillDisk(const std::string &path) {
    std::string filler = Join(path, "filler");
    FILE *file = fopen(filler.c_str(), "ab");
    static const char kBlock[4096] = {0};
    if (file != NULL) {
        while (fwrite(kBlock, 1, sizeof kBlock, file) == sizeof kBlock && fflush(file) == 0) {
        }
        // The last partial block, byte by byte.
        while (fputc(0, file) != EOF && fflush(file) == 0) {
        }
        fclose(file);
    }
    return filler;
}

bool MakeDiskReadOnly(const std::string &path, bool readOnly) {
    return RunQuietly({"/bin/mount", "-o", readOnly ? "remount,ro" : "remount,rw", path}) == 0;
}

void UnmountSmallDisk(const std::string &path) {
    RunQuietly({"/bin/umount", "-l", path});
}
#endif

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long long NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace sandbox
