// The card's own OpenSSL library context: the card computes only through
// it, so an engine, provider or configuration file its host process loads
// never changes what the card computes.
#pragma once

#include <openssl/evp.h>
#include <openssl/types.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/openssl_owned.h"

namespace tarnwick::vcard {

// Created once per process with OpenSSL's default provider loaded into it
// and no configuration file read; nullptr when OpenSSL could not make it.
OSSL_LIB_CTX* CryptoLibrary();

using OwnedMd = openssl::Owned<EVP_MD>;
using OwnedCipher = openssl::Owned<EVP_CIPHER>;

// The card's implementations by name ("SHA1", "DES-EDE3-ECB"); null when
// absent.
OwnedMd FetchDigest(const char* name);
OwnedCipher FetchCipher(const char* name);

// The digest of `bytes` into `out`, which must be exactly the digest's
// length.
bool CardDigest(const char* name, std::span<const uint8_t> bytes, std::span<uint8_t> out);

// Random bytes from the card's own generator.
bool CardRandom(std::span<uint8_t> out);

}  // namespace tarnwick::vcard
