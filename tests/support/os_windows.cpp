// The tests' operating-system needs on Windows: CreateProcessA with a pipe
// for standard output, LoadLibraryW, _putenv_s.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

#include "support/os.h"

namespace testos {
namespace {

// One argument as the C runtime splits a command line: quoted when it holds
// a blank or a quote, a quote escaped, and the backslashes before a quote
// (or before the closing quote) doubled.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::string line = Quote(program);
  for (const std::string& a : args) line += " " + Quote(a);
  return line;
}

struct Streams {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
};

// Starts the child with the given standard streams and, unless `block` is
// null, that environment block.
PROCESS_INFORMATION Spawn(const std::string& program, const std::vector<std::string>& args,
                          const Streams& streams, char* block = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = streams.in;
  startup.hStdOutput = streams.out;
  startup.hStdError = streams.err;
  std::string line = CommandLine(program, args);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, block, nullptr, &startup,
                      &process))
    return PROCESS_INFORMATION{};
  CloseHandle(process.hThread);
  return process;
}

HANDLE OpenInheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int WaitForExit(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

}  // namespace

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  // An empty value removes the variable.
  _putenv_s(name.c_str(), value ? value->c_str() : "");
}

std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (prefix + std::to_string(ProcessId()) + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) return folder;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

bool MakeFifo(const std::filesystem::path&) { return false; }
void WakeFifo(const std::filesystem::path&) {}

bool MountTmpfs(const std::filesystem::path&, const std::string&, bool) { return false; }
void Unmount(const std::filesystem::path&) {}

bool WithBrokenStandardError(const std::function<void()>&, bool&) { return false; }

void* OpenLibrary(const std::filesystem::path& file, std::string& error) {
  HMODULE library = LoadLibraryW(file.c_str());
  if (library == nullptr) error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindFunction(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

Finished Run(const std::string& program, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherited, 0)) throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  Streams streams;
  streams.out = write_end;
  const PROCESS_INFORMATION process = Spawn(program, args, streams);
  CloseHandle(write_end);
  Finished run;
  char buf[4096];
  for (DWORD n = 0; ReadFile(read_end, buf, sizeof buf, &n, nullptr) && n > 0;) run.output.append(buf, n);
  CloseHandle(read_end);
  if (process.hProcess == nullptr) throw std::runtime_error("cannot start " + program);
  // The child wrote in text mode; its lines are compared as they read.
  for (std::size_t at; (at = run.output.find("\r\n")) != std::string::npos;) run.output.erase(at, 1);
  run.exit_code = WaitForExit(process.hProcess);
  return run;
}

std::vector<std::string> Environment() {
  std::vector<std::string> variables;
  char* block = GetEnvironmentStringsA();
  for (const char* v = block; *v != '\0'; v += std::strlen(v) + 1) variables.emplace_back(v);
  FreeEnvironmentStringsA(block);
  return variables;
}

int RunRedirected(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& environment, const StreamFiles& files) {
  std::string block;
  for (const std::string& v : environment) block += v + '\0';
  block += '\0';
  Streams streams{OpenInheritable(files.in, GENERIC_READ, OPEN_EXISTING),
                  OpenInheritable(files.out, GENERIC_WRITE, CREATE_ALWAYS),
                  OpenInheritable(files.err, GENERIC_WRITE, CREATE_ALWAYS)};
  PROCESS_INFORMATION process{};
  if (streams.in != INVALID_HANDLE_VALUE && streams.out != INVALID_HANDLE_VALUE && streams.err != INVALID_HANDLE_VALUE)
    process = Spawn(program, args, streams, block.data());
  for (HANDLE h : {streams.in, streams.out, streams.err})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return process.hProcess == nullptr ? -1 : WaitForExit(process.hProcess);
}

ChildId Start(const std::string& program, const std::vector<std::string>& args) {
  const PROCESS_INFORMATION process = Spawn(program, args, Streams{});
  return process.hProcess == nullptr ? -1 : reinterpret_cast<ChildId>(process.hProcess);
}

void Kill(ChildId child) {
  const HANDLE process = reinterpret_cast<HANDLE>(child);
  TerminateProcess(process, 137);
  WaitForExit(process);
}

ChildId Fork(const std::function<int()>&) { return -1; }

int Wait(ChildId) { return -1; }

}  // namespace testos
