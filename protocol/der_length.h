// The length field of a DER INTEGER as the library's decoder reads it, and
// the tool that checks its input before: a first length byte below 0x80 is
// the length, 0x81 and 0x82 announce one and two bytes, any other four.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick::der {

// Tag and length field together, from the first length byte (the byte
// after the tag).
constexpr std::size_t HeaderSize(uint8_t first_length_byte) {
  if (first_length_byte < 0x80) return 2;
  if (first_length_byte == 0x81) return 3;
  if (first_length_byte == 0x82) return 4;
  return 6;
}

// The content length the header announces; der holds HeaderSize(der[1])
// bytes.
constexpr uint32_t ContentLength(const uint8_t* der) {
  const std::size_t header = HeaderSize(der[1]);
  if (header == 2) return der[1];
  uint32_t length = 0;
  for (std::size_t i = 2; i < header; ++i) length = length << 8 | der[i];
  return length;
}

}  // namespace tarnwick::der
