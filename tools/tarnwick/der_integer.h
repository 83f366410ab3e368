// Checks that bytes hold a whole DER INTEGER before the library decodes it:
// IntegerDERDecode trusts the length field and has no input length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::cli {

// The size of the encoding at the start of `bytes` (header plus content) as
// the library reads its length field; 0 with the reason in *why when the
// bytes end before the encoding does or the content is empty.
std::size_t DerIntegerSize(std::span<const uint8_t> bytes, std::string* why);

}  // namespace tarnwick::cli
