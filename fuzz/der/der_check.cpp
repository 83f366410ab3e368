// The DER INTEGER decoder's promises, checked on one encoding.
#include "der/der_check.h"

#include <algorithm>

#include "common/buffers.h"
#include "common/check.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

constexpr uint8_t kFourByteForm = 0x84;

uint64_t BigEndian(const uint8_t* bytes, std::size_t n) {
  uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

std::optional<DerLayout> ReadDerLayout(const uint8_t* der, std::size_t available) {
  if (available < 2) return std::nullopt;
  const uint8_t first = der[1];
  std::size_t length_bytes = first < 0x80 ? 0 : first == 0x81 ? 1 : first == 0x82 ? 2 : 4;
  std::size_t header = 2 + length_bytes;
  if (available < header) return std::nullopt;
  uint64_t length = length_bytes == 0 ? first : BigEndian(der + 2, length_bytes);
  return DerLayout{header, length};
}

bool FitsDecoder(const DerLayout& layout, std::size_t available) {
  return layout.content_length != 0 && layout.header_size <= available &&
         layout.content_length <= available - layout.header_size;
}

void DecodeAndCheck(const uint8_t* der, const DerLayout& layout) {
  const std::size_t length = static_cast<std::size_t>(layout.content_length);
  const std::size_t total = layout.header_size + length;
  const uint8_t* content = der + layout.header_size;
  // One leading zero byte is dropped; the sign is not interpreted.
  const std::size_t skip = content[0] == 0x00 ? 1 : 0;

  InputBytes encoding(der, total);
  encoding.AllowWrites();
  OutputBytes out(length);
  OutputValue<uint32_t> out_len;
  const int32_t used = IntegerDERDecode(encoding.writable(), out.get(), out_len.get());

  Check(used >= 0 && static_cast<std::size_t>(used) == total,
        "the result is not the header size plus the content length");
  Check(out_len.value() == length - skip, "the magnitude's length is wrong");
  Check(std::equal(content + skip, content + length, out.get()), "the magnitude is wrong");
  Check(std::all_of(out.get() + (length - skip), out.get() + length,
                    [](uint8_t b) { return b == OutputBytes::kFreshByte; }),
        "written past the magnitude");
  const uint8_t expected_form = layout.header_size == 6 ? kFourByteForm : der[1];
  Check(encoding.get()[1] == expected_form, "the length byte was rewritten wrongly");
  Check(encoding.get()[0] == der[0] && std::equal(der + 2, der + total, encoding.get() + 2),
        "the encoding was written beyond its length byte");
}

}  // namespace twfuzz
