// The whole command line: global options, help, the subcommand and its exit
// code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "connection.h"

namespace tarnwick::cli {

struct Invocation {
  ConnectionOptions connection;
  bool help = false;
  bool version = false;
  std::vector<std::string> rest;  // the subcommand's name and its arguments
};

// Takes the global options (--driver, --port, --trace, --help / -h,
// --version) from anywhere on the line; nullopt with the reason for a bad
// one, or for an unknown option before the subcommand.
std::optional<Invocation> ParseInvocation(std::vector<std::string> args, std::string* why);

// Runs a command line (without the program name); returns the exit code.
int RunTool(std::vector<std::string> args);

}  // namespace tarnwick::cli
