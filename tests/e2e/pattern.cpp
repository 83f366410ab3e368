// Test data that a reader can check by eye in a trace: a byte pattern that
// differs with its seed and does not repeat within 256 bytes.
#include "card_session.h"

namespace e2e {

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
  return bytes;
}

}  // namespace e2e
