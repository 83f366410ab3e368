// TriDesEncrypt: two-key triple-DES (encrypt K1, decrypt K2, encrypt K1) in
// ECB mode on the host, as three whole-buffer single-DES passes.
#include <cstddef>
#include <memory>
#include <new>

#include "host/des_ecb_buffer.h"
#include "host/tri_des.h"
#include "tarnwick.h"

namespace {

// Each work buffer holds the length and more than the up to 7 bytes that
// rounding to whole blocks adds.
constexpr std::size_t kWorkSlack = 10;
constexpr std::size_t kK2Offset = 8;

enum TriDesResult : int32_t {
  kDone = 0,
  kFirstPassFailed = 1,
  kSecondPassFailed = 2,
  kThirdPassFailed = 3,
  kFirstBufferMissing = 100,
  kSecondBufferMissing = 101,
};

std::unique_ptr<uint8_t[]> WorkBuffer(int32_t len) {
  const std::size_t size = static_cast<std::size_t>(len) + kWorkSlack;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
}

}  // namespace

int32_t tarnwick::host::TriDesEcb(const uint8_t* key, const uint8_t* in, uint8_t* out, int32_t len) {
  // A negative length names no data: nothing is allocated or written.
  if (len < 0) return kDone;
  auto first = WorkBuffer(len);
  if (!first) return kFirstBufferMissing;
  auto second = WorkBuffer(len);
  if (!second) return kSecondBufferMissing;

  const uint8_t* k1 = key;
  const uint8_t* k2 = key + kK2Offset;
  if (tarnwick::DesEcbBuffer(in, first.get(), len, k1, 1) != 1) return kFirstPassFailed;
  if (tarnwick::DesEcbBuffer(first.get(), second.get(), len, k2, 0) != 1) return kSecondPassFailed;
  if (tarnwick::DesEcbBuffer(second.get(), out, len, k1, 1) != 1) return kThirdPassFailed;
  return kDone;
}

extern "C" TW_API int32_t TriDesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                        int32_t len) {
  return tarnwick::host::TriDesEcb(key, in, out, len);
}
