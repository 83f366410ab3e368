// Makes the card's OpenSSL library context and fetches from it.
#include "crypto_library.h"

#include <openssl/provider.h>
#include <openssl/rand.h>

namespace tarnwick::vcard {
namespace {

// The context with the default provider loaded into it. The first call
// makes it (and so sets OpenSSL up), so OpenSSL's own clean-up at exit
// comes after this is freed; the driver makes it before its ports, so the
// ports, and the cards they close, go before it.
class Library {
 public:
  Library() : context_(OSSL_LIB_CTX_new()) {
    if (context_ != nullptr) provider_ = OSSL_PROVIDER_load(context_, "default");
  }
  ~Library() {
    if (provider_ != nullptr) OSSL_PROVIDER_unload(provider_);
    OSSL_LIB_CTX_free(context_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  OSSL_LIB_CTX* get() const { return provider_ != nullptr ? context_ : nullptr; }

 private:
  OSSL_LIB_CTX* context_;
  OSSL_PROVIDER* provider_ = nullptr;
};

}  // namespace

OSSL_LIB_CTX* CryptoLibrary() {
  // C++ makes a function's static once, whichever thread comes first.
  static const Library library;
  return library.get();
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
