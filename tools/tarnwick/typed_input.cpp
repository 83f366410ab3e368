// Reading typed lines; the echo is switched off by the platform's file.
#include "typed_input.h"

#include <cstdio>

#include "platform.h"

namespace tarnwick::cli {

std::optional<std::string> ReadInputLine() {
  std::string line;
  int c;
  while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::optional<std::string> AskSecret(const std::string& prompt, std::string* why) {
  if (!platform::InputIsTerminal()) {
    *why = "missing, and standard input is not a terminal to ask on";
    return std::nullopt;
  }
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::optional<std::string> line;
  {
    platform::EchoOff quiet;
    line = ReadInputLine();
  }
  if (!line) *why = "no value typed";
  return line;
}

}  // namespace tarnwick::cli
