// Loads the driver, runs the probe and keeps test folders and variables.
#include "driver_support.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace skorratest {
namespace {

template <typename Fn>
void Resolve(void* module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(module, name));
  if (fn == nullptr) throw std::runtime_error(std::string("driver lacks ") + name);
}

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

Driver::Driver() {
  module_ = dlopen(SKORRA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (module_ == nullptr) throw std::runtime_error(std::string("cannot load the driver: ") + dlerror());
  Resolve(module_, "CT_open", CT_open);
  Resolve(module_, "CT_close", CT_close);
  Resolve(module_, "CT_reset", CT_reset);
  Resolve(module_, "ICC_reset", ICC_reset);
  Resolve(module_, "ICC_set_NAD", ICC_set_NAD);
  Resolve(module_, "ICC_tsi_api", ICC_tsi_api);
}

Driver::~Driver() {
  if (module_ != nullptr) dlclose(module_);
}

Answer Send(const Driver& driver, uint32_t handle, const std::string& apdu_hex) {
  const std::vector<uint8_t> apdu = Bytes(apdu_hex);
  std::vector<uint8_t> rsp(256, 0);
  uint8_t rsp_len = 0xEE;
  Answer answer;
  answer.sw = driver.ICC_tsi_api(handle, static_cast<uint8_t>(apdu.size()), apdu.data(), &rsp_len, rsp.data());
  rsp.resize(rsp_len);
  answer.data = Hex(rsp);
  return answer;
}

int StartProbe(const std::vector<std::string>& args) {
  const std::string program = SKORRA_PROBE;
  std::vector<char*> argv = Argv(program, args);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start the probe");
  return pid;
}

ProbeRun RunProbe(const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  const std::string program = SKORRA_PROBE;
  std::vector<char*> argv = Argv(program, args);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  ProbeRun run;
  char buf[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buf, sizeof buf)) > 0;) run.output.append(buf, static_cast<std::size_t>(n));
  close(pipe_fds[0]);
  if (spawned != 0) throw std::runtime_error("cannot start the probe");
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

uint32_t DriverTest::OpenAndPowerUp(const char* port) {
  const uint32_t handle = driver_.CT_open(port);
  if (handle != 0) {
    EXPECT_EQ(driver_.ICC_reset(static_cast<int32_t>(handle), 0, 0), 0);
  }
  return handle;
}

}  // namespace skorratest
