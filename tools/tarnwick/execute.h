// Running a parsed subcommand, and the tool's exit codes.
#pragma once

#include "command.h"

namespace tarnwick::cli {

constexpr int kExitSuccess = 0;    // the card answered 0x9000 (or host work succeeded)
constexpr int kExitCardStatus = 1; // any other answer, or no reader
constexpr int kExitUsage = 2;      // bad or missing arguments

// Runs the action, inside a card connection when the subcommand needs the
// card; returns the exit code.
int Execute(const Command& command, const Action& action, const ConnectionOptions& connection, Report& report);

}  // namespace tarnwick::cli
