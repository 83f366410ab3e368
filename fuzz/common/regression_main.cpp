// A harness without the fuzzing engine: replays every file named on the
// command line, and every file below each folder named there, in name order.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputFiles(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    if (!std::filesystem::is_directory(arg)) {
      files.push_back(arg);
      continue;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  const auto files = InputFiles(argc, argv);
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s <corpus folder or file>...: no input found\n", argv[0]);
    return 1;
  }
  for (const auto& file : files) {
    std::fprintf(stderr, "replaying %s\n", file.string().c_str());
    const std::vector<uint8_t> input = ReadFile(file);
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
