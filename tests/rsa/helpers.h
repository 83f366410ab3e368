// Byte patterns shared by the RSA tests.
#pragma once

#include <cstdint>
#include <vector>

namespace twtest {

// n bytes counting up from first, so that a misplaced byte shows in a trace.
inline std::vector<uint8_t> Sequence(std::size_t n, uint8_t first) {
  std::vector<uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + i);
  return out;
}

inline std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace twtest
