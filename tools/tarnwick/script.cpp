// Script parsing: words of a line, and each line through the subcommand
// table so that a bad line is found before anything reaches the card.
#include "script.h"

namespace tarnwick::cli {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<std::vector<std::string>> SplitScriptLine(std::string_view line, std::string* why) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    std::string word;
    while (i < line.size() && !IsBlank(line[i])) {
      char c = line[i++];
      if (c != '"' && c != '\'') {
        word += c;
        continue;
      }
      std::size_t close = line.find(c, i);
      if (close == std::string_view::npos) {
        *why = std::string("unterminated ") + (c == '"' ? "double" : "single") + " quote";
        return std::nullopt;
      }
      word.append(line.substr(i, close - i));
      i = close + 1;
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<ScriptStep> ParseScriptLine(std::string_view line, int line_no, std::string* why) {
  std::string error;
  auto fail = [&](const std::string& message) {
    *why = "line " + std::to_string(line_no) + ": " + message;
    return std::nullopt;
  };
  auto words = SplitScriptLine(line, &error);
  if (!words) return fail(error);
  if (words->empty()) return ScriptStep{line_no, "", nullptr, {}, false};
  const Command* command = FindCommand(words->front());
  if (command == nullptr) return fail("unknown subcommand '" + words->front() + "'");
  if (command->name == "run") return fail("a script cannot run another script");
  std::vector<std::string> arguments(words->begin() + 1, words->end());
  bool writes_stdout = WritesToStandardOutput(arguments);
  Action action = ParseCommand(*command, std::move(arguments), &error);
  if (!action) return fail(std::string(command->name) + ": " + error);
  return ScriptStep{line_no, std::string(Trimmed(line)), command, std::move(action), writes_stdout};
}

std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* why) {
  std::vector<ScriptStep> steps;
  int line_no = 0;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    auto step = ParseScriptLine(line, ++line_no, why);
    if (!step) return std::nullopt;
    if (step->command != nullptr) steps.push_back(std::move(*step));
  }
  return steps;
}

}  // namespace tarnwick::cli
