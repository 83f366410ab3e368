// Hex text and bytes: the tolerant parser for data typed by a person and the
// formatting of card answers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

using Bytes = std::vector<uint8_t>;

// Parses hex bytes. Spaces, tabs, newlines and colons separate groups; each
// group holds whole bytes (an even number of digits), so "0A 1B", "0a:1b"
// and "0A1B" agree while "A 1B" is refused. An empty text is zero bytes.
// On failure returns nullopt and says why in *why (one short phrase).
std::optional<Bytes> ParseHex(std::string_view text, std::string* why);

// "0A1B2C": upper-case hex, no separators.
std::string ToHex(std::span<const uint8_t> bytes);

// "0A 1B 2C": upper-case hex, one space between bytes.
std::string ToSpacedHex(std::span<const uint8_t> bytes);

// True when every byte is printable ASCII (space to tilde) and there is at
// least one byte.
bool IsPrintableText(std::span<const uint8_t> bytes);

// Lines of at most 16 bytes: offset, spaced hex and the printable characters
// ('.' for the others), as a person compares them with a card trace.
std::vector<std::string> HexDumpLines(std::span<const uint8_t> bytes);

}  // namespace tarnwick::cli
