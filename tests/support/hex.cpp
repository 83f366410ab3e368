// Hex text for the tests.
#include "support/hex.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace twtest {

std::string Hex(const uint8_t* bytes, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits: " + hex);
  for (std::size_t i = 0; i < digits.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace twtest
