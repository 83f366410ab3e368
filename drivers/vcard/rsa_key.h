// RSA through OpenSSL: generating an RSA-1024 key (e = 65537), the raw
// private and public operations, and the public-key record the card reads
// and writes.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "state.h"

namespace tarnwick::vcard {

std::optional<RsaPrivateKey> GenerateRsaKey();

// input^d mod n, 128 bytes; nullopt when input is not below n.
std::optional<std::vector<uint8_t>> RsaPrivate(const RsaPrivateKey& key, std::span<const uint8_t> input);
// input^e mod n at the modulus' length; nullopt when input is not below n.
std::optional<std::vector<uint8_t>> RsaPublic(const RsaPublicKey& key, std::span<const uint8_t> input);

// n = p * q with a 1024-bit n: the check an image's key must pass.
bool IsConsistent(const RsaPrivateKey& key);

// The public-key record: 6E, modulus length, modulus, 65, exponent length,
// exponent.
std::vector<uint8_t> PublicKeyRecord(const RsaPrivateKey& key);
// The record at the start of bytes (exactly filling them when whole is
// set), when it holds a usable key: a modulus of 64 to 188 bytes, odd, with
// a non-zero first byte; an odd exponent of 1 to 4 bytes, at least 3.
std::optional<RsaPublicKey> ParsePublicKeyRecord(std::span<const uint8_t> bytes, bool whole);

}  // namespace tarnwick::vcard
