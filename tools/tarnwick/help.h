// Help texts: the tool's overview and each subcommand's usage and example.
#pragma once

#include <cstdio>

#include "command.h"

namespace tarnwick::cli {

void PrintToolHelp(std::FILE* out);
void PrintCommandHelp(const Command& command, std::FILE* out);
// The two-line reminder printed when no subcommand is given.
void PrintShortUsage(std::FILE* out);

}  // namespace tarnwick::cli
