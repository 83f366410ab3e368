// How the driver's trace and the tool's script echo show what reaches the
// card: the words that switch the trace on and off, the one that shows
// secrets, and a command in hex with its secret data bytes hidden.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "protocol/instructions.h"

namespace tarnwick::protocol {

enum class TraceTarget { kNone, kStandardError, kFile };

// SKORRA_TRACE: "1", "yes", "true" or "on" (any case) traces to standard
// error; "0", "no", "false", "off" (any case) or nothing traces nowhere; any
// other value names the file the trace is appended to.
inline TraceTarget ReadTraceTarget(std::string_view value) {
  auto is_one_of = [value](std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [value](std::string_view word) {
      return std::equal(value.begin(), value.end(), word.begin(), word.end(),
                        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    });
  };
  if (is_one_of({"1", "yes", "true", "on"})) return TraceTarget::kStandardError;
  if (value.empty() || is_one_of({"0", "no", "false", "off"})) return TraceTarget::kNone;
  return TraceTarget::kFile;
}

// SKORRA_TRACE_SECRETS: only "1" shows secrets.
inline bool ReadTraceSecrets(std::string_view value) { return value == "1"; }

// Bytes in upper-case hex, a blank between two, each byte of [hide_from,
// hide_to) as "**".
inline std::string MaskedHex(std::span<const uint8_t> bytes, std::size_t hide_from = 0, std::size_t hide_to = 0) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) text += ' ';
    if (i >= hide_from && i < hide_to) {
      text += "**";
    } else {
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 0x0F];
    }
  }
  return text;
}

// A command in hex with the data bytes its instruction declares secret as
// "**" (all of the data of a command no instruction declares), unless
// secrets are wanted.
inline std::string CommandHex(std::span<const uint8_t> command, bool secrets) {
  if (secrets || command.size() <= kHeaderLength) return MaskedHex(command);
  return MaskedHex(command, kHeaderLength,
                   std::min<std::size_t>(command.size(), kHeaderLength + SecretDataBytes(command)));
}

}  // namespace tarnwick::protocol
