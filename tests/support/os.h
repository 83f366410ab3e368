// What the tests need from the operating system, behind one interface:
// process ids, environment variables, scratch folders, libraries loaded by
// path and child processes. os_posix.cpp and os_windows.cpp implement it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testos {

#if defined(_WIN32)
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

int ProcessId();

// Sets an environment variable, or removes it for nullopt; child processes
// and the libraries of this process see the change.
void SetVariable(const std::string& name, const std::optional<std::string>& value);

// A new, empty folder under the system's temporary folder.
std::filesystem::path MakeTempFolder(const std::string& prefix);

// A FIFO at `path`; false where the system has none (Windows).
bool MakeFifo(const std::filesystem::path& path);
// Opens and closes both ends of the FIFO at `path` without blocking, which
// releases a thread stuck opening or reading it.
void WakeFifo(const std::filesystem::path& path);

// A tmpfs of `size` ("256k") mounted on `folder`, for a full or read-only
// file system; false where that cannot be done (not root, no mount
// permission, Windows). Unmount undoes it.
bool MountTmpfs(const std::filesystem::path& folder, const std::string& size, bool read_only);
void Unmount(const std::filesystem::path& folder);

// Runs `work` with standard error pointing at a pipe whose reader is gone,
// then puts standard error back; `signal_left` tells whether a SIGPIPE was
// left waiting for this thread. False where the system has no SIGPIPE.
bool WithBrokenStandardError(const std::function<void()>& work, bool& signal_left);

// A library loaded by its path; nullptr with `error` set when it cannot be.
void* OpenLibrary(const std::filesystem::path& file, std::string& error);
void* FindFunction(void* library, const char* name);
void CloseLibrary(void* library);

// Child processes with this process's environment and standard error.
struct Finished {
  int exit_code = -1;  // -1 when the child did not exit by itself
  std::string output;  // its standard output, lines ending in "\n"
};
Finished Run(const std::string& program, const std::vector<std::string>& args);

// This process's environment, "NAME=value" each.
std::vector<std::string> Environment();

// Runs a child with exactly `environment`, its standard input read from
// `in` and its output and errors written to `out` and `err`; its exit code,
// -1 when it did not start or did not exit by itself.
struct StreamFiles {
  std::filesystem::path in, out, err;
};
int RunRedirected(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& environment, const StreamFiles& files);

using ChildId = std::intptr_t;
// Starts a child and returns without waiting; -1 when it did not start.
ChildId Start(const std::string& program, const std::vector<std::string>& args);
// Ends the child at once, as a crash would, and waits until it is gone.
void Kill(ChildId child);

// A copy of this process running `work`, whose result is its exit code; -1
// where processes do not fork (Windows). Wait gives the exit code.
ChildId Fork(const std::function<int()>& work);
int Wait(ChildId child);

}  // namespace testos
