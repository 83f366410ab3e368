// Formats trace lines and decides which bytes are secret.
#include "trace_format.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>

#include "protocol/status_words.h"

namespace tarnwick::skorra {
namespace {

constexpr std::size_t kHeaderLength = 5;
constexpr std::size_t kToTheEnd = 0xFFFF;

// What the trace may show of an answer.
enum class AnswerRule {
  kShown,
  // Nothing but the public-key record of key-pair generation, recognised by
  // its exact length and layout; every other answer is hidden whole.
  kPublicKeyRecordOnly,
};

// The redaction rules, one row per command that carries a secret. Every
// decision is taken from what was sent, never from what came back, so that
// a secret cannot show itself by looking harmless. The class byte is not
// looked at, so that a command sent in the wrong class still hides its
// passphrase or key. A row applies when INS, and P1 and P2 where given,
// match.
struct SecretRule {
  uint8_t ins;
  std::optional<uint8_t> p1;
  std::optional<uint8_t> p2;
  std::size_t command_bytes;  // data bytes hidden from the start of the data field
  AnswerRule answer;
};

constexpr std::optional<uint8_t> kAny;

constexpr std::array kSecretRules = {
    SecretRule{0x20, kAny, kAny, kToTheEnd, AnswerRule::kShown},  // VERIFY: the passphrase
    SecretRule{0x24, kAny, kAny, kToTheEnd, AnswerRule::kShown},  // change passphrase: the old and the new one
    SecretRule{0x2C, kAny, kAny, kToTheEnd, AnswerRule::kShown},  // unblock: the code and the new passphrase
    SecretRule{0xD4, kAny, kAny, kToTheEnd, AnswerRule::kShown},  // write key: the key block
    SecretRule{0x02, kAny, kAny, 8, AnswerRule::kShown},          // card DES: the key, ahead of the block
    SecretRule{0xF4, kAny, kAny, kToTheEnd, AnswerRule::kShown},  // 16-byte cipher: the key it loads
    // Key-pair generation with no key slot: after the public-key record the
    // card hands out d, p, q, dP, dQ and qInv.
    SecretRule{0xCE, 0x00, 0x00, kToTheEnd, AnswerRule::kPublicKeyRecordOnly},
};

// The public-key record that key-pair generation answers first: 6E 80, the
// 128-byte modulus, 65 03 01 00 01. No private value is 135 bytes long.
constexpr std::size_t kModulusLength = 128;
constexpr std::array<uint8_t, 5> kExponentField = {0x65, 0x03, 0x01, 0x00, 0x01};
constexpr std::size_t kPublicKeyRecordLength = 2 + kModulusLength + kExponentField.size();

bool IsPublicKeyRecord(std::span<const uint8_t> data) {
  return data.size() == kPublicKeyRecordLength && data[0] == 0x6E && data[1] == kModulusLength &&
         std::equal(kExponentField.begin(), kExponentField.end(), data.end() - kExponentField.size());
}

const SecretRule* RuleFor(std::span<const uint8_t> command) {
  if (command.size() < 2) return nullptr;
  for (const SecretRule& rule : kSecretRules) {
    if (command[1] != rule.ins) continue;
    if (rule.p1 && (command.size() < 3 || command[2] != *rule.p1)) continue;
    if (rule.p2 && (command.size() < 4 || command[3] != *rule.p2)) continue;
    return &rule;
  }
  return nullptr;
}

// Bytes [from, to) of the command print as "**".
struct Hidden {
  std::size_t from = 0;
  std::size_t to = 0;
};

Hidden SecretBytes(std::span<const uint8_t> command) {
  const SecretRule* rule = RuleFor(command);
  if (rule == nullptr || command.size() <= kHeaderLength) return {};
  return {kHeaderLength, std::min(command.size(), kHeaderLength + rule->command_bytes)};
}

bool AnswerIsSecret(std::span<const uint8_t> command, std::span<const uint8_t> data) {
  const SecretRule* rule = RuleFor(command);
  if (rule == nullptr) return false;
  switch (rule->answer) {
    case AnswerRule::kShown:
      return false;
    case AnswerRule::kPublicKeyRecordOnly:
      return !IsPublicKeyRecord(data);
  }
  return true;
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
    const bool hide = !secrets && AnswerIsSecret(command, reply.data);
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
