// tarnwick: the command-line tool's entry point.
#include <string>
#include <vector>

#include "tool.h"

int main(int argc, char** argv) {
  return tarnwick::cli::RunTool(std::vector<std::string>(argv + 1, argv + argc));
}
