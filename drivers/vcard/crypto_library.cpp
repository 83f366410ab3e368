// Makes the card's OpenSSL library context and fetches from it.
#include "crypto_library.h"

#include <openssl/provider.h>
#include <openssl/rand.h>

namespace tarnwick::vcard {
namespace {

// Never freed: the context must outlive every card, including those that
// static objects or a host's exit handlers still close at exit.
OSSL_LIB_CTX* MakeLibrary() {
  OSSL_LIB_CTX* library = OSSL_LIB_CTX_new();
  if (library == nullptr) return nullptr;
  if (OSSL_PROVIDER_load(library, "default") == nullptr) {
    OSSL_LIB_CTX_free(library);
    return nullptr;
  }
  return library;
}

}  // namespace

OSSL_LIB_CTX* CryptoLibrary() {
  // C++ makes a function's static once, whichever thread comes first.
  static OSSL_LIB_CTX* const library = MakeLibrary();
  return library;
}

OwnedMd FetchDigest(const char* name) {
  OSSL_LIB_CTX* library = CryptoLibrary();
  return OwnedMd(library != nullptr ? EVP_MD_fetch(library, name, nullptr) : nullptr);
}

OwnedCipher FetchCipher(const char* name) {
  OSSL_LIB_CTX* library = CryptoLibrary();
  return OwnedCipher(library != nullptr ? EVP_CIPHER_fetch(library, name, nullptr) : nullptr);
}

bool CardDigest(const char* name, std::span<const uint8_t> bytes, std::span<uint8_t> out) {
  const OwnedMd md = FetchDigest(name);
  unsigned int length = 0;
  return md && static_cast<std::size_t>(EVP_MD_get_size(md.get())) == out.size() &&
         EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, md.get(), nullptr) == 1 &&
         length == out.size();
}

bool CardRandom(std::span<uint8_t> out) {
  OSSL_LIB_CTX* library = CryptoLibrary();
  return library != nullptr && RAND_bytes_ex(library, out.data(), out.size(), 0) == 1;
}

}  // namespace tarnwick::vcard
