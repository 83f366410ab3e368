// DesEcbBuffer: the DES block cipher of libcrypto applied block by block,
// with a fresh key schedule on every call.
#include "host/des_ecb_buffer.h"

// The one-block DES calls are marked deprecated from OpenSSL 3 on, yet they
// are exactly the primitive needed here (raw ECB blocks, parity fixing, no
// weak-key refusal). Silenced for this file only; a build that pins an older
// API level sees no deprecation at all.
#ifndef OPENSSL_SUPPRESS_DEPRECATED
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/des.h>

#include <cstddef>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::size_t kBlock = 8;

// The low bit of each key byte is parity, set odd on a private copy: DES
// ignores it, and every 8-byte value, weak keys included, is accepted.
void PrepareSchedule(const uint8_t* key, DES_key_schedule* schedule) {
  DES_cblock copy;
  std::memcpy(copy, key, sizeof copy);
  DES_set_odd_parity(&copy);
  DES_set_key_unchecked(&copy, schedule);
}

}  // namespace

int32_t DesEcbBuffer(const uint8_t* in, uint8_t* out, int32_t len, const uint8_t* key,
                     int32_t encrypt) {
  DES_key_schedule schedule;
  PrepareSchedule(key, &schedule);
  if (len <= 0) return 1;
  // A partial last block is processed whole: the bytes up to the next
  // multiple of 8 are read and written as they lie.
  const std::size_t blocks = (static_cast<std::size_t>(len) + kBlock - 1) / kBlock;
  const int direction = encrypt != 0 ? DES_ENCRYPT : DES_DECRYPT;
  for (std::size_t i = 0; i < blocks; ++i) {
    // DES_ecb_encrypt loads the whole block before it stores the result, so
    // in and out may be the same buffer. Its input block type carries no
    // const although the block is only read.
    auto* src = reinterpret_cast<const_DES_cblock*>(const_cast<uint8_t*>(in + i * kBlock));
    auto* dst = reinterpret_cast<DES_cblock*>(out + i * kBlock);
    DES_ecb_encrypt(src, dst, &schedule, direction);
  }
  return 1;
}

}  // namespace tarnwick
