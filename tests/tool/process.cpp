// Child processes for the tool tests: posix_spawn with the three standard
// streams redirected to files in a scratch folder.
#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace twtest {
namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The tool must find the virtual-card driver beside the library, never a
// test driver through LD_LIBRARY_PATH, and start from a known driver set-up.
bool Inherited(const char* entry) {
  return std::strncmp(entry, "LD_LIBRARY_PATH=", 16) != 0 && std::strncmp(entry, "SKORRA_", 7) != 0;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env_extra, const std::filesystem::path& scratch,
                         const std::string& stdin_text) {
  const auto in_path = scratch / "stdin", out_path = scratch / "stdout", err_path = scratch / "stderr";
  std::ofstream(in_path, std::ios::binary) << stdin_text;

  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (Inherited(*e)) env.emplace_back(*e);
  env.insert(env.end(), env_extra.begin(), env_extra.end());

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  ProcessResult result;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.err = std::string("posix_spawn failed: ") + std::strerror(rc);
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.out = Slurp(out_path);
  result.err = Slurp(err_path);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace twtest
