// tarnwick: the command-line tool's entry point.
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

#include "tool.h"

namespace {

// Data read from standard input or written to standard output ("-") are
// bytes, and the reports are the same bytes on every system: Windows text
// mode would turn line feeds into CR LF and stop reading at a Ctrl-Z.
void UseBinaryStreams() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStreams();
  return tarnwick::cli::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
