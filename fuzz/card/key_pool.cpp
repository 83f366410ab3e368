// The fuzzed card's pool of key pairs.
#include "card/key_pool.h"

#include <array>
#include <cstddef>

#include "common/check.h"
#include "vcard/rsa_key.h"

namespace twfuzz {
namespace {

constexpr std::size_t kPoolSize = 3;
std::size_t g_next = 0;

const std::array<tarnwick::vcard::RsaPrivateKey, kPoolSize>& Pool() {
  static const auto pool = [] {
    std::array<tarnwick::vcard::RsaPrivateKey, kPoolSize> keys;
    for (auto& key : keys) {
      std::optional<tarnwick::vcard::RsaPrivateKey> made = tarnwick::vcard::GenerateRsaKey();
      Check(made.has_value(), "no RSA key could be made for the pool");
      key = *made;
    }
    return keys;
  }();
  return pool;
}

}  // namespace

std::optional<tarnwick::vcard::RsaPrivateKey> PooledKeyPair() {
  const auto& pool = Pool();
  return pool[g_next++ % pool.size()];
}

void RewindKeyPool() { g_next = 0; }

}  // namespace twfuzz
