// Scripts for `run`: one subcommand line per line, # comments, all lines
// checked before the first one runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"

namespace tarnwick::cli {

// Splits a line into words: blanks separate, double or single quotes group
// (so "48 65 6C" is one word), and '#' at the start of a word begins a
// comment. nullopt with the reason for an unterminated quote.
std::optional<std::vector<std::string>> SplitScriptLine(std::string_view line, std::string* why);

struct ScriptStep {
  int line;
  std::string text;
  const Command* command;  // nullptr for a line with nothing to do
  Action action;
  bool writes_stdout;  // --out -: the bytes alone go to standard output
};

// Parses one line; nullopt with "line N: ..." when it is bad.
std::optional<ScriptStep> ParseScriptLine(std::string_view line, int line_no, std::string* why);

// Parses every line; nullopt with "line N: ..." for the first bad one.
std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* why);

// The line as `run` echoes it. With `secrets` (SKORRA_TRACE_SECRETS=1) as
// written; otherwise the positional arguments its subcommand's echo rule
// hides show as "**", and such a line is echoed without its comment.
std::string EchoedLine(const ScriptStep& step, bool secrets);

}  // namespace tarnwick::cli
