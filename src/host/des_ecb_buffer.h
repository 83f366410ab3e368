// Two-key triple-DES in ECB mode over a whole buffer, on the host: the pass
// behind the host triple-DES export.
#pragma once

#include <cstdint>

namespace tarnwick {

// Encrypts len bytes, rounded up to whole 8-byte blocks, with two-key
// triple-DES (encrypt K1, decrypt K2, encrypt K1) under the 16-byte key, K1
// then K2; parity bits are ignored and every key is accepted. in and out must
// each hold the rounded length and may overlap in any way: every block is
// computed from the input as it was before the call. The key is read
// completely before out is written. A length of zero or less touches
// nothing.
void TriDesEcbBuffer(const uint8_t* key, const uint8_t* in, uint8_t* out, int32_t len);

}  // namespace tarnwick
