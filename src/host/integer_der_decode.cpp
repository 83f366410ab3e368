// IntegerDERDecode: host-side decoding of one DER INTEGER into the unsigned
// big-endian magnitude that the card's RSA commands take.
#include <cstring>

#include "protocol/der_length.h"
#include "tarnwick.h"

namespace {

struct LengthField {
  uint32_t header_size;     // tag and length field
  uint32_t content_length;  // L
};

// A length field read in the four-byte form is made to say so: its first
// byte becomes 0x84 whatever it held.
LengthField ReadLengthField(uint8_t* der) {
  const auto header_size = static_cast<uint32_t>(tarnwick::der::HeaderSize(der[1]));
  if (header_size == tarnwick::der::HeaderSize(0x84)) der[1] = 0x84;
  return {header_size, tarnwick::der::ContentLength(der)};
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
