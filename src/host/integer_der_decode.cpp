// IntegerDERDecode: host-side decoding of one DER INTEGER into the unsigned
// big-endian magnitude that the card's RSA commands take.
#include <cstring>

#include "tarnwick.h"

namespace {

struct LengthField {
  uint32_t header_size;     // tag and length field
  uint32_t content_length;  // L
};

uint32_t BigEndian(const uint8_t* bytes, int n) {
  uint32_t value = 0;
  for (int i = 0; i < n; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Byte 1 below 0x80 is the length itself; 0x81 and 0x82 announce one or two
// length bytes; any other value is read as the four-byte form 0x84, and the
// input is made to say so.
LengthField ReadLengthField(uint8_t* der) {
  const uint8_t first = der[1];
  if (first < 0x80) return {2, first};
  if (first == 0x81) return {3, BigEndian(der + 2, 1)};
  if (first == 0x82) return {4, BigEndian(der + 2, 2)};
  der[1] = 0x84;
  return {6, BigEndian(der + 2, 4)};
}

}  // namespace

extern "C" TW_API int32_t IntegerDERDecode(uint8_t* der, uint8_t* out, uint32_t* out_len) {
  const LengthField field = ReadLengthField(der);
  const uint8_t* content = der + field.header_size;
  uint32_t magnitude = field.content_length;
  // A positive INTEGER whose top bit is set carries one zero byte in front;
  // the sign is not interpreted otherwise.
  if (magnitude != 0 && content[0] == 0x00) {
    ++content;
    --magnitude;
  }
  if (magnitude != 0) std::memcpy(out, content, magnitude);
  *out_len = magnitude;
  return static_cast<int32_t>(field.header_size + field.content_length);
}
