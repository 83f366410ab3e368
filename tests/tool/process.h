// Runs the tarnwick tool as a child process, as a person would from a shell,
// and captures its exit code and both output streams.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace twtest {

struct ProcessResult {
  int exit_code = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Runs `program args...` with `env_extra` ("NAME=value") added to this
// process's environment minus LD_LIBRARY_PATH and the SKORRA_ variables;
// standard input comes from `stdin_text`. Scratch files go to `scratch`.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env_extra, const std::filesystem::path& scratch,
                         const std::string& stdin_text = "");

// Lines of a text, without their newline characters.
std::vector<std::string> Lines(const std::string& text);

}  // namespace twtest
