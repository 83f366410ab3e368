// fuzz_der: the input is DER INTEGERs one after another; each whose stated
// length fits what is left (with at least one content byte) is decoded from
// its own exact-size buffer, and decoding goes on at the offset the decoder
// returned. The first encoding that does not fit ends the input.
#include <cstddef>
#include <cstdint>

#include "der/der_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::size_t offset = 0;
  while (offset < size) {
    const std::size_t available = size - offset;
    const auto layout = twfuzz::ReadDerLayout(data + offset, available);
    if (!layout || !twfuzz::FitsDecoder(*layout, available)) break;
    twfuzz::DecodeAndCheck(data + offset, *layout);
    offset += layout->header_size + static_cast<std::size_t>(layout->content_length);
  }
  return 0;
}
