// Single-block ECB through EVP. DES runs as triple-DES with the key
// repeated (K K K is single DES; K1 K2 K1 two-key triple-DES), which keeps
// it in OpenSSL's default provider.
#include "block_cipher.h"

#include <openssl/evp.h>

#include "common/openssl_owned.h"
#include "crypto_library.h"

namespace tarnwick::vcard {
namespace {

template <std::size_t N>
std::optional<std::array<uint8_t, N>> EcbBlock(const char* cipher_name, const uint8_t* key,
                                               std::span<const uint8_t> block, bool encrypt) {
  if (block.size() != N) return std::nullopt;
  const OwnedCipher cipher = FetchCipher(cipher_name);
  openssl::Owned<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
  std::array<uint8_t, N> out{};
  int written = 0;
  if (!cipher || !ctx || EVP_CipherInit_ex2(ctx.get(), cipher.get(), key, nullptr, encrypt ? 1 : 0, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
      EVP_CipherUpdate(ctx.get(), out.data(), &written, block.data(), static_cast<int>(N)) != 1 ||
      written != static_cast<int>(N))
    return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::array<uint8_t, 8>> DesBlock(std::span<const uint8_t> key, std::span<const uint8_t> block,
                                               bool encrypt) {
  if (key.size() != 8 && key.size() != 16) return std::nullopt;
  std::array<uint8_t, 24> k1k2k1{};
  const std::span<const uint8_t> k1 = key.first(8);
  const std::span<const uint8_t> k2 = key.size() == 16 ? key.subspan(8) : k1;
  std::copy(k1.begin(), k1.end(), k1k2k1.begin());
  std::copy(k2.begin(), k2.end(), k1k2k1.begin() + 8);
  std::copy(k1.begin(), k1.end(), k1k2k1.begin() + 16);
  auto out = EcbBlock<8>("DES-EDE3-ECB", k1k2k1.data(), block, encrypt);
  OPENSSL_cleanse(k1k2k1.data(), k1k2k1.size());
  return out;
}

std::optional<std::array<uint8_t, 16>> Aes128Block(std::span<const uint8_t> key,
                                                   std::span<const uint8_t> block, bool encrypt) {
  if (key.size() != 16) return std::nullopt;
  return EcbBlock<16>("AES-128-ECB", key.data(), block, encrypt);
}

}  // namespace tarnwick::vcard
