// One DER INTEGER through IntegerDERDecode, checked against the harness's
// own reading of the encoding: where its content lies, what magnitude comes
// out, how many bytes it occupies, and that nothing is written past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace twfuzz {

struct DerLayout {
  std::size_t header_size;  // tag and length field: 2, 3, 4 or 6
  uint64_t content_length;  // L
};

// How the decoder reads the length field at der[1]: below 0x80 the length
// itself, 0x81 and 0x82 one or two length bytes, anything else four. Empty
// when the header does not fit in `available` bytes.
std::optional<DerLayout> ReadDerLayout(const uint8_t* der, std::size_t available);

// True when the encoding's header and L content bytes fit in `available`
// and the content is not empty: the decoder's caller must guarantee both.
bool FitsDecoder(const DerLayout& layout, std::size_t available);

// Decodes the header_size + L bytes at der from an exact-size copy into an
// output of exactly L bytes, and checks every promise of the decoder.
void DecodeAndCheck(const uint8_t* der, const DerLayout& layout);

}  // namespace twfuzz
