// Command-line entry: global options, help, parsing the subcommand, and
// running it with its report on standard output.
#include "tool.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "command.h"
#include "execute.h"
#include "help.h"

namespace tarnwick::cli {
namespace {

// "--name value" or "--name=value" at args[*i]; advances *i past the value.
std::optional<std::string> TakeValue(const std::vector<std::string>& args, std::size_t* i,
                                     const std::string& name, std::string* why) {
  const std::string& token = args[*i];
  if (token.size() > name.size() && token[name.size()] == '=') return token.substr(name.size() + 1);
  if (*i + 1 >= args.size()) {
    *why = name + ": missing its value";
    return std::nullopt;
  }
  return args[++*i];
}

bool IsOption(const std::string& token, const std::string& name) {
  return token == name || (token.size() > name.size() && token.compare(0, name.size() + 1, name + "=") == 0);
}

// Letters to change, add or drop to turn one word into the other.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "; did you mean read-bin?" for a name a letter or two away from one.
std::string Suggestion(std::string_view name) {
  constexpr std::size_t kNear = 2;
  const Command* best = nullptr;
  std::size_t best_distance = kNear + 1;
  for (const Command& c : AllCommands()) {
    std::size_t distance = EditDistance(name, c.name);
    if (distance < best_distance) {
      best = &c;
      best_distance = distance;
    }
  }
  if (best == nullptr) return "; tarnwick --help lists them";
  return "; did you mean " + std::string(best->name) + "?";
}

}  // namespace

std::optional<Invocation> ParseInvocation(std::vector<std::string> args, std::string* why) {
  Invocation inv;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& token = args[i];
    if (token == "--help" || token == "-h") {
      inv.help = true;
    } else if (token == "--version") {
      inv.version = true;
    } else if (token == "--trace") {
      inv.connection.trace = true;
    } else if (IsOption(token, "--driver")) {
      auto value = TakeValue(args, &i, "--driver", why);
      if (!value) return std::nullopt;
      if (*value != "serial" && *value != "usb") {
        *why = "--driver: expected serial or usb, got '" + *value + "'";
        return std::nullopt;
      }
      inv.connection.selector = *value == "serial" ? 1 : 2;
    } else if (IsOption(token, "--port")) {
      auto value = TakeValue(args, &i, "--port", why);
      if (!value) return std::nullopt;
      auto port = ParseNumber(*value, 1, 4);
      if (!port) {
        *why = "--port: expected a number from 1 to 4, got '" + *value + "'";
        return std::nullopt;
      }
      inv.connection.port = static_cast<uint8_t>(*port);
    } else if (inv.rest.empty() && token.size() > 1 && token[0] == '-') {
      *why = token + ": unknown option; tarnwick --help lists the options";
      return std::nullopt;
    } else {
      inv.rest.push_back(token);
    }
  }
  return inv;
}

int RunTool(std::vector<std::string> args) {
  std::string why;
  auto inv = ParseInvocation(std::move(args), &why);
  if (!inv) {
    std::fprintf(stderr, "tarnwick: %s\n", why.c_str());
    return kExitUsage;
  }
  if (inv->version) {
    std::printf("tarnwick %s\n", TW_VERSION_STRING);
    return kExitSuccess;
  }
  if (inv->rest.empty()) {
    if (!inv->help) PrintShortUsage(stderr);
    else PrintToolHelp(stdout);
    return inv->help ? kExitSuccess : kExitUsage;
  }
  if (inv->rest.front() == "help" && inv->rest.size() == 1) {
    PrintToolHelp(stdout);
    return kExitSuccess;
  }
  if (inv->rest.front() == "help") {
    inv->rest.erase(inv->rest.begin());
    inv->help = true;
  }
  const Command* command = FindCommand(inv->rest.front());
  if (command == nullptr) {
    std::fprintf(stderr, "tarnwick: unknown subcommand '%s'%s\n", inv->rest.front().c_str(),
                 Suggestion(inv->rest.front()).c_str());
    return kExitUsage;
  }
  if (inv->help) {
    PrintCommandHelp(*command, stdout);
    return kExitSuccess;
  }
  std::vector<std::string> words(inv->rest.begin() + 1, inv->rest.end());
  Report report(WritesToStandardOutput(words) ? stderr : stdout);
  Action action = ParseCommand(*command, words, &why);
  if (!action) {
    std::fprintf(stderr, "tarnwick %.*s: %s\n", static_cast<int>(command->name.size()), command->name.data(),
                 why.c_str());
    return kExitUsage;
  }
  return Execute(*command, action, inv->connection, report);
}

}  // namespace tarnwick::cli
