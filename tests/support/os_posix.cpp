// The tests' operating-system needs on POSIX systems: posix_spawn, dlopen,
// mkdtemp, setenv.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "support/os.h"

extern char** environ;

namespace testos {
namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int ProcessId() { return static_cast<int>(::getpid()); }

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
}

std::filesystem::path MakeTempFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

void WakeFifo(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) ::close(fd);
}

bool MountTmpfs(const std::filesystem::path& folder, const std::string& size, bool read_only) {
  const std::string options = "size=" + size + ",mode=0700";
  return ::mount("tmpfs", folder.c_str(), "tmpfs", read_only ? MS_RDONLY : 0, options.c_str()) == 0;
}

void Unmount(const std::filesystem::path& folder) { ::umount2(folder.c_str(), MNT_DETACH); }

bool WithBrokenStandardError(const std::function<void()>& work, bool& signal_left) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  ::close(ends[0]);
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(ends[1], STDERR_FILENO);
  ::close(ends[1]);
  work();
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  sigset_t pending;
  sigemptyset(&pending);
  signal_left = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
  return true;
}

void* OpenLibrary(const std::filesystem::path& file, std::string& error) {
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) error = dlerror();
  return library;
}

void* FindFunction(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

Finished Run(const std::string& program, const std::vector<std::string>& args) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> argv = Argv(program, args);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  Finished run;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) run.output.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  run.exit_code = ExitCode(pid);
  return run;
}

std::vector<std::string> Environment() {
  std::vector<std::string> variables;
  for (char** e = environ; *e != nullptr; ++e) variables.emplace_back(*e);
  return variables;
}

int RunRedirected(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& environment, const StreamFiles& files) {
  std::vector<char*> argv = Argv(program, args);
  std::vector<std::string> variables = environment;
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, files.in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, files.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, files.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? ExitCode(pid) : -1;
}

ChildId Start(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv = Argv(program, args);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

void Kill(ChildId child) {
  kill(static_cast<pid_t>(child), SIGKILL);
  ExitCode(static_cast<pid_t>(child));
}

ChildId Fork(const std::function<int()>& work) {
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  return pid;
}

int Wait(ChildId child) { return ExitCode(static_cast<pid_t>(child)); }

}  // namespace testos
