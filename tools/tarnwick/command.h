// The subcommand table: each entry names a subcommand, documents it, and
// turns its arguments into an action that runs inside a card connection.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "args.h"
#include "report.h"
#include "connection.h"
#include "tarnwick.h"

namespace tarnwick::cli {

struct Context {
  tw_handle_t reader;  // 0 for host-only work
  Report& report;
  const ConnectionOptions& connection;
};

// What a subcommand does once its arguments are read.
using Action = std::function<void(Context&)>;

// What `run` echoes of a subcommand's line when secrets are not wanted
// (SKORRA_TRACE_SECRETS unset): the positional arguments that carry a
// passphrase, an unblocking code, a key block or a key show as "**". As the
// trace hides all data of a command no instruction declares, a subcommand
// that declares no rule hides every positional argument.
struct EchoRule {
  uint32_t hidden = ~uint32_t{0};  // bit i: the (i+1)-th positional argument
  bool command_bytes = false;      // the positionals are command APDUs, shown as the trace shows them
};

inline constexpr EchoRule kEchoInClear{0, false};
inline constexpr EchoRule kEchoCommandBytes{0, true};

// Hides the positional arguments at these positions, counted from 1.
constexpr EchoRule HideArguments(std::initializer_list<int> positions) {
  EchoRule rule{0, false};
  for (int position : positions) rule.hidden |= uint32_t{1} << (position - 1);
  return rule;
}

struct Command {
  std::string_view name;
  std::string_view summary;  // one line for the list of subcommands
  std::string_view usage;    // the arguments after the name
  std::string_view details;  // what each argument means, one per line
  std::string_view example;  // a whole command line
  std::string_view options;  // for ArgReader: "--out= --offline"
  bool needs_card;
  // Reads the arguments; the result is used only when the reader reports
  // no error after Finish().
  Action (*parse)(ArgReader& args);
  EchoRule echo = {};
};

// The families' tables, in the order --help lists them.
std::span<const Command> FileCommands();
std::span<const Command> SecurityCommands();
std::span<const Command> RsaCommands();
std::span<const Command> CipherCommands();
std::span<const Command> HostCommands();
std::span<const Command> ReaderCommands();
std::span<const Command> ScriptCommands();
std::span<const Command> RawCommands();

// Every record of the file with this SFI (0: the current one), as read-file
// reads a record file.
void ReadEveryRecord(Context& c, uint8_t sfi, const std::optional<std::string>& out);

struct Family {
  std::string_view title;
  std::span<const Command> commands;
};

// The families in the order --help lists them; every subcommand; lookup by
// name (nullptr when unknown).
std::span<const Family> Families();
std::span<const Command> AllCommands();
const Command* FindCommand(std::string_view name);

// Parses a subcommand's arguments; nullopt-like empty Action with *error set
// on a usage error.
Action ParseCommand(const Command& command, std::vector<std::string> tokens, std::string* error);

}  // namespace tarnwick::cli
