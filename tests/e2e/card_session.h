// End-to-end tests: the library bound to the built-in driver beside it,
// COM1 open and its card powered up, the card kept in a folder of the
// test's own and every command traced to a file there; and host-side
// cryptography to check the card's results against.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <cstdint>
#include <string>
#include <vector>

#include "environment.h"
#include "tarnwick.h"

namespace e2e {

using skorratest::Bytes;
using skorratest::Hex;

class CardSession : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The trace so far, one string per line.
  std::vector<std::string> TraceLines() const;

  skorratest::TempFolder folder_;
  skorratest::ScopedEnv cards_{"SKORRA_VCARD_DIR", (folder_.path() / "cards").string()};
  skorratest::ScopedEnv trace_{"SKORRA_TRACE", (folder_.path() / "trace.txt").string()};
  skorratest::ScopedEnv secrets_{"SKORRA_TRACE_SECRETS", std::nullopt};
  tw_handle_t reader_ = 0;
};

// The fresh card's profile.
inline const std::vector<uint8_t> kPassphrase01 = {'1', '2', '3', '4', '5', '6', '7', '8'};
inline const std::vector<uint8_t> kUnblock01 = {'8', '7', '6', '5', '4', '3', '2', '1'};
inline const std::vector<uint8_t> kKey01 = Bytes("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
inline const std::vector<uint8_t> kKey02 = Bytes("01 23 45 67 89 AB CD EF");

// Host cryptography through OpenSSL.
std::array<uint8_t, 20> HostSha1(const std::vector<uint8_t>& message);
// Single DES (an 8-byte key) or two-key triple-DES (16 bytes), ECB, one block.
std::vector<uint8_t> HostDes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& block, bool encrypt);
// AES-128 in ECB mode over whole blocks, without padding.
std::vector<uint8_t> HostAes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& data, bool encrypt);
// RSA with e = 65537 and the modulus n: PKCS #1 v1.5 encryption (type 2) of
// data, and recovery of the data signed with type-1 padding (empty when the
// signature does not verify).
std::vector<uint8_t> HostRsaEncrypt(const std::vector<uint8_t>& n, const std::vector<uint8_t>& data);
std::vector<uint8_t> HostRsaRecover(const std::vector<uint8_t>& n, const std::vector<uint8_t>& signature);
// True when p, q, dP, dQ and qInv (and n = p * q, e = 65537) make a valid RSA
// private key by OpenSSL's check.
bool HostRsaKeyIsValid(const std::vector<uint8_t>& p, const std::vector<uint8_t>& q,
                       const std::vector<uint8_t>& dp, const std::vector<uint8_t>& dq,
                       const std::vector<uint8_t>& qinv, const std::vector<uint8_t>& n);
std::vector<uint8_t> HostMultiply(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed);

}  // namespace e2e
