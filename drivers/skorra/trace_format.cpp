// Formats trace lines; which bytes are secret and how they show comes from
// protocol/trace_view.h, which the tool's script echo uses too.
#include "trace_format.h"

#include <cstdio>

#include "protocol/instructions.h"
#include "protocol/status_words.h"
#include "protocol/trace_view.h"

namespace tarnwick::skorra {

std::string CommandLine(std::string_view port, std::span<const uint8_t> command, bool secrets) {
  std::string line(port);
  line += " >";
  if (!command.empty()) line += ' ';
  line += protocol::CommandHex(command, secrets);
  return line;
}

std::string AnswerLine(std::string_view port, std::span<const uint8_t> command, const Reply& reply,
                       bool secrets) {
  std::string line(port);
  line += " < ";
  if (!reply.data.empty()) {
    const bool hide = !secrets && protocol::AnswerIsSecret(command, reply.data);
    line += protocol::MaskedHex(reply.data, 0, hide ? reply.data.size() : 0);
    line += " | ";
  }
  char sw[8];
  std::snprintf(sw, sizeof sw, "%04X", static_cast<unsigned>(reply.sw));
  line += sw;
  line += " (" + status::Meaning(reply.sw) + ")";
  return line;
}

}  // namespace tarnwick::skorra
