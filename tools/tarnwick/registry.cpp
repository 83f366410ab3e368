// The table of every subcommand, lookup by name, and argument parsing
// through a subcommand's entry.
#include <vector>

#include "command.h"

namespace tarnwick::cli {

std::span<const Family> Families() {
  static const Family families[] = {
      {"Files and records", FileCommands()},
      {"Raw commands", RawCommands()},
      {"Passphrases, keys and authentication", SecurityCommands()},
      {"RSA on the card", RsaCommands()},
      {"Card ciphers and SHA-1", CipherCommands()},
      {"Host software (no card needed)", HostCommands()},
      {"Reader", ReaderCommands()},
      {"Scripts", ScriptCommands()},
  };
  return families;
}

std::span<const Command> AllCommands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> v;
    for (const Family& family : Families()) v.insert(v.end(), family.commands.begin(), family.commands.end());
    return v;
  }();
  return all;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : AllCommands())
    if (c.name == name) return &c;
  return nullptr;
}

Action ParseCommand(const Command& command, std::vector<std::string> tokens, std::string* error) {
  ArgReader args(std::move(tokens), command.options);
  Action action = command.parse(args);
  args.Finish();
  if (!args.ok()) {
    *error = args.error();
    return {};
  }
  return action;
}

}  // namespace tarnwick::cli
