// Child processes for the tool tests: the three standard streams
// redirected to files in a scratch folder.
#include "process.h"

#include <fstream>
#include <sstream>

#include "support/os.h"

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
bool Inherited(const std::string& entry) {
  return entry.rfind("LD_LIBRARY_PATH=", 0) != 0 && entry.rfind("SKORRA_", 0) != 0;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env_extra, const std::filesystem::path& scratch,
                         const std::string& stdin_text) {
  const testos::StreamFiles files{scratch / "stdin", scratch / "stdout", scratch / "stderr"};
  std::ofstream(files.in, std::ios::binary) << stdin_text;

  std::vector<std::string> env;
  for (const std::string& e : testos::Environment())
    if (Inherited(e)) env.push_back(e);
  env.insert(env.end(), env_extra.begin(), env_extra.end());

  ProcessResult result;
  result.exit_code = testos::RunRedirected(program, args, env, files);
  result.out = Slurp(files.out);
  result.err = Slurp(files.err);
  return result;
}
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace twtest
