// Length-field reading of one DER INTEGER, the library's way: a length byte
// below 0x80 is the length, 0x81 and 0x82 announce one and two length
// bytes, and every other value four.
#include "der_integer.h"

#include "hex.h"

namespace tarnwick::cli {
namespace {

constexpr uint8_t kIntegerTag = 0x02;
constexpr uint8_t kSequenceTag = 0x30;

std::size_t HeaderSize(uint8_t first_length_byte) {
  if (first_length_byte < 0x80) return 2;
  if (first_length_byte == 0x81) return 3;
  if (first_length_byte == 0x82) return 4;
  return 6;
}

}  // namespace

std::size_t DerIntegerSize(std::span<const uint8_t> bytes, std::string* why) {
  if (bytes.size() < 2) {
    *why = "a DER INTEGER needs a tag and a length, " + std::to_string(bytes.size()) + " byte(s) left";
    return 0;
  }
  if (bytes[0] != kIntegerTag) {
    *why = "expected an INTEGER (tag 02), got tag " + ToHex(bytes.first(1)) +
           (bytes[0] == kSequenceTag ? "; --skip passes a SEQUENCE header" : "");
    return 0;
  }
  std::size_t header = HeaderSize(bytes[1]);
  if (bytes.size() < header) {
    *why = "the length field needs " + std::to_string(header) + " bytes, " + std::to_string(bytes.size()) + " left";
    return 0;
  }
  uint64_t content = header == 2 ? bytes[1] : 0;
  for (std::size_t i = 2; i < header; ++i) content = content << 8 | bytes[i];
  if (content == 0) {
    *why = "the INTEGER has no content bytes";
    return 0;
  }
  if (content > bytes.size() - header) {
    *why = "the INTEGER needs " + std::to_string(header + content) + " bytes, " + std::to_string(bytes.size()) +
           " left";
    return 0;
  }
  return header + static_cast<std::size_t>(content);
}

}  // namespace tarnwick::cli
