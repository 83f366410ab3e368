// Lines a person types: the next line of standard input, and a secret asked
// for on the terminal without echo.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::cli {

// The next line of standard input without its line ending; nullopt at the
// end of input.
std::optional<std::string> ReadInputLine();

// Asks on the terminal with echo off. A secret is never read from a pipe or
// a file this way: nullopt with the reason when standard input is not a
// terminal, or at the end of input.
std::optional<std::string> AskSecret(const std::string& prompt, std::string* why);

}  // namespace tarnwick::cli
