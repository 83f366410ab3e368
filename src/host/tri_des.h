// Two-key triple-DES in ECB mode on the host, as TriDesEncrypt and external
// authentication use it.
#pragma once

#include <cstdint>

namespace tarnwick::host {

// Encrypt K1, decrypt K2, encrypt K1 over len bytes rounded up to whole
// 8-byte blocks; the codes are TriDesEncrypt's (0 done).
int32_t TriDesEcb(const uint8_t* key, const uint8_t* in, uint8_t* out, int32_t len);

}  // namespace tarnwick::host
