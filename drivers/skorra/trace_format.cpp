// Formats trace lines and decides which bytes are secret.
#include "trace_format.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "protocol/instructions.h"
#include "protocol/status_words.h"

namespace tarnwick::skorra {
namespace {

using protocol::kHeaderLength;

// Bytes [from, to) of the command print as "**".
struct Hidden {
  std::size_t from = 0;
  std::size_t to = 0;
};

// Which bytes are secret comes from the command's declaration, so that a
// command declared with a key or passphrase is hidden here without more.
Hidden SecretBytes(std::span<const uint8_t> command) {
  if (command.size() <= kHeaderLength) return {};
  return {kHeaderLength, std::min<std::size_t>(command.size(), kHeaderLength + protocol::SecretDataBytes(command))};
}

void AppendHex(std::string& line, std::span<const uint8_t> bytes, Hidden hidden) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) line += ' ';
    if (i >= hidden.from && i < hidden.to) {
      line += "**";
    } else {
      line += kDigits[bytes[i] >> 4];
      line += kDigits[bytes[i] & 0x0F];
    }
  }
}

}  // namespace

std::string CommandLine(std::string_view port, std::span<const uint8_t> command, bool secrets) {
  std::string line(port);
  line += " >";
  if (!command.empty()) line += ' ';
  AppendHex(line, command, secrets ? Hidden{} : SecretBytes(command));
  return line;
}

std::string AnswerLine(std::string_view port, std::span<const uint8_t> command, const Reply& reply,
                       bool secrets) {
  std::string line(port);
  line += " < ";
  if (!reply.data.empty()) {
    const bool hide = !secrets && protocol::AnswerIsSecret(command, reply.data);
    AppendHex(line, reply.data, hide ? Hidden{0, reply.data.size()} : Hidden{});
    line += " | ";
  }
  char sw[8];
  std::snprintf(sw, sizeof sw, "%04X", static_cast<unsigned>(reply.sw));
  line += sw;
  line += " (" + status::Meaning(reply.sw) + ")";
  return line;
}

}  // namespace tarnwick::skorra
