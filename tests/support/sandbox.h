// Files, folders, environment and processes for the tests, on both platforms.
#ifndef NIMBREL_TEST_SANDBOX_H
#define NIMBREL_TEST_SANDBOX_H

#include <string>
#include <vector>

namespace sandbox {

// The path separator of the platform the tests run on.
extern const char kSeparator;
// The file name ending of the plugin module: ".dll" or ".so".
extern const char kModuleExtension[];

// A fresh, empty folder under the system's temporary folder; removed with RemoveTree.
std::string MakeFolder(const std::string &label);
void RemoveTree(const std::string &path);
// Creates one folder (and its parents), which neither group nor others may write.
void MakeFolderAt(const std::string &path);

std::string Join(const std::string &folder, const std::string &name);
bool Exists(const std::string &path);
bool IsFolder(const std::string &path);
std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &content);
void CopyPath(const std::string &from, const std::string &to);

// The folder of the running test program: every build product stands beside it.
std::string BuildFolder();
// The built plugin module.
std::string ModulePath();
// A build product by its base name ("nimbrel-host"), with ".exe" on Windows.
std::string ProgramPath(const std::string &name);

void SetEnv(const std::string &name, const std::string &value);
void UnsetEnv(const std::string &name);

// Starts a program and returns without waiting. Returns a process id, or -1.
long StartProcess(const std::vector<std::string> &argv);
// Waits for a started process and returns its exit status (-1 on failure).
int WaitProcess(long process);
// Runs a program to its end, capturing its standard output and feeding `input` to its standard
// input. Returns the exit status.
int RunProcess(const std::vector<std::string> &argv, const std::string &input, std::string *output);

// Waits until the file exists, at most `milliseconds`. Returns whether it does.
bool WaitForFile(const std::string &path, int milliseconds);

// A small disk of its own at the folder `path` (made when missing), for the tests of what a
// full or read-only disk does: a tmpfs of `kilobytes`, which only root may mount on Linux, and
// Windows programs cannot. Returns false where it cannot be had; the caller skips then.
bool MountSmallDisk(const std::string &path, int kilobytes);
// Fills the small disk at `path` to its last byte with a file of its own. Returns its name.
std::string FillDisk(const std::string &path);
// Makes the small disk at `path` read-only (false: writable again). Returns whether it worked.
bool MakeDiskReadOnly(const std::string &path, bool readOnly);
// Unmounts it; its files go with it.
void UnmountSmallDisk(const std::string &path);

void SleepMilliseconds(int milliseconds);
// A monotonic clock for measuring how long a call took.
long long NowMilliseconds();

} // namespace sandbox

#endif
