// Formats trace lines and decides which bytes are secret.
#include "trace_format.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>

#include "protocol/status_words.h"

namespace tarnwick::skorra {
namespace {

constexpr std::size_t kHeaderLength = 5;
constexpr std::size_t kToTheEnd = 0xFFFF;

// Command data bytes that hold a secret, by instruction. The class byte is
// not looked at, so that a command sent in the wrong class still hides its
// passphrase or key.
struct SecretRule {
  uint8_t ins;
  std::size_t count;  // data bytes from the start of the data field
};

constexpr std::array kSecretCommands = {
    SecretRule{0x20, kToTheEnd},  // VERIFY: the passphrase
    SecretRule{0x24, kToTheEnd},  // change passphrase: the old and the new one
    SecretRule{0x2C, kToTheEnd},  // unblock: the unblocking code and the new passphrase
    SecretRule{0xD4, kToTheEnd},  // write key: the key block
    SecretRule{0x02, 8},          // card DES: the key, ahead of the block
    SecretRule{0xF4, kToTheEnd},  // 16-byte cipher: the key it loads
};

// Bytes [from, to) of the command print as "**".
struct Hidden {
  std::size_t from = 0;
  std::size_t to = 0;
};

Hidden SecretBytes(std::span<const uint8_t> command) {
  if (command.size() <= kHeaderLength) return {};
  for (const SecretRule& rule : kSecretCommands)
    if (command[1] == rule.ins)
      return {kHeaderLength, std::min(command.size(), kHeaderLength + rule.count)};
  return {};
}

// Key-pair generation with no key slot (80 CE 00 00) hands out the private
// values after the public-key record (which starts with 0x6E).
bool AnswerIsSecret(std::span<const uint8_t> command, const Reply& reply) {
  return command.size() >= 4 && command[0] == 0x80 && command[1] == 0xCE && command[2] == 0x00 &&
         command[3] == 0x00 && !reply.data.empty() && reply.data[0] != 0x6E;
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
    const bool hide = !secrets && AnswerIsSecret(command, reply);
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
