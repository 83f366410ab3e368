// Hex parsing and formatting for the command-line tool.
#include "hex.h"

#include <cstdio>

namespace tarnwick::cli {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Quoted(char c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + c + "'";
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned char>(c));
  return buf;
}

// Appends one separator-free group of digits; false (with the reason) when
// it is not made of whole bytes.
bool AppendGroup(std::string_view group, Bytes& out, std::string* why) {
  for (char c : group) {
    if (DigitValue(c) < 0) {
      if (why) *why = Quoted(c) + " is not a hex digit";
      return false;
    }
  }
  if (group.size() % 2 != 0) {
    if (why) *why = "'" + std::string(group) + "' has an odd number of hex digits";
    return false;
  }
  for (std::size_t i = 0; i < group.size(); i += 2)
    out.push_back(static_cast<uint8_t>(DigitValue(group[i]) << 4 | DigitValue(group[i + 1])));
  return true;
}

}  // namespace

std::optional<Bytes> ParseHex(std::string_view text, std::string* why) {
  Bytes out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (!AppendGroup(text.substr(i, end - i), out, why)) return std::nullopt;
    i = end;
  }
  return out;
}

std::string ToHex(std::span<const uint8_t> bytes) {
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 0x0F];
  }
  return s;
}

std::string ToSpacedHex(std::span<const uint8_t> bytes) {
  std::string s;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) s += ' ';
    s += kDigits[bytes[i] >> 4];
    s += kDigits[bytes[i] & 0x0F];
  }
  return s;
}

bool IsPrintableText(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return false;
  for (uint8_t b : bytes)
    if (b < 0x20 || b > 0x7E) return false;
  return true;
}

std::vector<std::string> HexDumpLines(std::span<const uint8_t> bytes) {
  constexpr std::size_t kPerLine = 16;
  std::vector<std::string> lines;
  for (std::size_t off = 0; off < bytes.size(); off += kPerLine) {
    auto piece = bytes.subspan(off, std::min(kPerLine, bytes.size() - off));
    char head[24];
    std::snprintf(head, sizeof head, "%04zX  ", off);
    std::string line = head + ToSpacedHex(piece);
    line.append((kPerLine - piece.size()) * 3 + 2, ' ');
    for (uint8_t b : piece) line += (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace tarnwick::cli
