// Script parsing: words of a line, and each line through the subcommand
// table so that a bad line is found before anything reaches the card.
#include "script.h"

#include "hex.h"
#include "protocol/trace_view.h"

namespace tarnwick::cli {
namespace {

// Options that take a value, from a subcommand's option list ("--out= --offline").
bool TakesValue(std::string_view options, std::string_view name) {
  for (std::size_t i = 0; i < options.size();) {
    std::size_t end = options.find(' ', i);
    if (end == std::string_view::npos) end = options.size();
    const std::string_view option = options.substr(i, end - i);
    if (option.size() == name.size() + 1 && option.back() == '=' && option.substr(0, name.size()) == name)
      return true;
    i = end + 1;
  }
  return false;
}

// A word as it would be typed: quoted when it holds blanks or is empty.
std::string Quoted(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"'#") == std::string::npos) return word;
  const char quote = word.find('"') == std::string::npos ? '"' : '\'';
  return quote + word + quote;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// An `apdu` line rebuilt command by command: separators and expected status
// words as typed, the bytes as the driver's trace shows them.
std::string EchoedApdu(const std::vector<std::string>& words) {
  std::string echoed = words[0];
  Bytes command;
  auto flush = [&] {
    if (!command.empty()) echoed += " " + protocol::CommandHex(command, false);
    command.clear();
  };
  for (std::size_t i = 1; i < words.size(); ++i) {
    std::string why;
    auto bytes = words[i] == "," || words[i][0] == '=' ? std::nullopt : ParseHex(words[i], &why);
    if (bytes) {
      command.insert(command.end(), bytes->begin(), bytes->end());
      continue;
    }
    flush();
    echoed += " " + words[i];
  }
  flush();
  return echoed;
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

std::string EchoedLine(const ScriptStep& step, bool secrets) {
  const EchoRule& rule = step.command->echo;
  if (secrets || (rule.hidden == 0 && !rule.command_bytes)) return step.text;
  std::string why;
  const auto words = SplitScriptLine(step.text, &why);
  if (!words || words->empty()) return std::string(step.command->name);
  if (rule.command_bytes) return EchoedApdu(*words);
  // Positionals are counted as the argument reader counts them: an option
  // and the value it takes are not positionals.
  std::string echoed = (*words)[0];
  std::size_t position = 0;
  for (std::size_t i = 1; i < words->size(); ++i) {
    const std::string& word = (*words)[i];
    std::string shown = Quoted(word);
    if (word.size() >= 3 && word.compare(0, 2, "--") == 0) {
      if (word.find('=') == std::string::npos && TakesValue(step.command->options, word) && i + 1 < words->size())
        shown += " " + Quoted((*words)[++i]);
    } else if (position++ >= 32 || (rule.hidden >> (position - 1) & 1u) != 0) {
      shown = "**";
    }
    echoed += " " + shown;
  }
  return echoed;
}

}  // namespace tarnwick::cli
