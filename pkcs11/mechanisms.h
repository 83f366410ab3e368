// The mechanisms the module offers (what the card does and what the host
// adds to it), and the host's half: hashing, DigestInfo, and the public-key
// operations done with OpenSSL.
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "attributes.h"

namespace tarnwick::pkcs11 {

std::span<const CK_MECHANISM_TYPE> MechanismList();
std::optional<CK_MECHANISM_INFO> MechanismInfo(CK_MECHANISM_TYPE type);
bool MechanismAllows(CK_MECHANISM_TYPE type, CK_FLAGS function);

// A running hash; for the signature mechanisms the hash of their data, for
// CKM_SHA_1 and CKM_SHA256 the digest itself.
class Hash {
 public:
  // Leaves *out empty for a mechanism that hashes nothing on the host
  // (CKM_RSA_PKCS).
  static CK_RV Start(CK_MECHANISM_TYPE mechanism, std::unique_ptr<Hash>* out);
  ~Hash();
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;
  bool Update(std::span<const uint8_t> data);
  std::optional<Bytes> Final();
  std::size_t Size() const;

 private:
  struct State;
  explicit Hash(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// What the card signs for a mechanism: the data itself (CKM_RSA_PKCS) or
// the DigestInfo of the hash.
Bytes DigestInfo(CK_MECHANISM_TYPE mechanism, const Bytes& hash);

// PKCS #1 v1.5 with the public key, on the host.
CK_RV VerifyPkcs1(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent, const Bytes& signed_data,
                  std::span<const uint8_t> signature);
CK_RV EncryptPkcs1(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent, const Bytes& plain,
                   Bytes* cipher);

}  // namespace tarnwick::pkcs11
