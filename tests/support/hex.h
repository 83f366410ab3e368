// Byte sequences as hex text and back, for every test: tests compare frames
// as hex strings so that a mismatch prints both sides in the layout of a
// card trace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace twtest {

// "00 A4 00 00 02" for a byte sequence.
std::string Hex(const std::vector<uint8_t>& bytes);
std::string Hex(const uint8_t* bytes, std::size_t n);
// The bytes of hex text; anything but hex digits is skipped.
std::vector<uint8_t> Bytes(const std::string& hex);

}  // namespace twtest
