// Single-DES in ECB mode over a whole buffer, on the host: the pass from
// which the host triple-DES is built.
#pragma once

#include <cstdint>

namespace tarnwick {

// Encrypts (encrypt nonzero) or decrypts (zero) len bytes rounded up to whole
// 8-byte blocks under the 8-byte key; in and out may be the same buffer and
// must each hold the rounded length. A length of zero or less touches
// nothing. Always returns 1.
int32_t DesEcbBuffer(const uint8_t* in, uint8_t* out, int32_t len, const uint8_t* key,
                     int32_t encrypt);

}  // namespace tarnwick
