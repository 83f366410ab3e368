// Length-field reading of one DER INTEGER, the library's way.
#include "der_integer.h"

#include "hex.h"
#include "protocol/der_length.h"

namespace tarnwick::cli {
namespace {

constexpr uint8_t kIntegerTag = 0x02;
constexpr uint8_t kSequenceTag = 0x30;

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
  std::size_t header = der::HeaderSize(bytes[1]);
  if (bytes.size() < header) {
    *why = "the length field needs " + std::to_string(header) + " bytes, " + std::to_string(bytes.size()) + " left";
    return 0;
  }
  const uint64_t content = der::ContentLength(bytes.data());
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
