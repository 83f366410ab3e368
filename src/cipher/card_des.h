// One block through the card's DES command, as DesEncrypt, DesDecrypt, the
// card's triple-DES and external authentication use it.
#pragma once

#include <cstdint>

namespace tarnwick::cipher {

inline constexpr uint8_t kEncrypt = 0x00;
inline constexpr uint8_t kDecrypt = 0x01;

// 10 02 <direction> 00 10, then the 8-byte key and the 8-byte block; the
// card's 8 result bytes go to out only on 0x9000.
int32_t CardDes(uint32_t reader, uint8_t direction, const uint8_t* key, const uint8_t* in, uint8_t* out);

}  // namespace tarnwick::cipher
