// RSA key generation and the raw RSA operations through OpenSSL 3
// (EVP_PKEY for the private key, with its blinding; BIGNUM for public keys),
// in the card's own library context.
#include "rsa_key.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include "common/openssl_owned.h"
#include "crypto_library.h"
#include "protocol/public_key_record.h"

namespace tarnwick::vcard {
namespace {

// Every number here may be part of a private key: each is cleared when freed.
template <class T>
using Owned = openssl::OwnedSecret<T>;

// RSA named by its OID, a name OpenSSL looks up only among the context's
// providers: by "RSA" it would take an engine that the host process made
// the default for RSA keys, whatever the context.
constexpr const char* kRsaKeyType = "1.2.840.113549.1.1.1";
constexpr unsigned long kPublicExponent = 65537;
constexpr std::size_t kMinModulus = 64;
constexpr std::size_t kMaxModulus = 188;

Owned<BIGNUM> Number(std::span<const uint8_t> bytes) {
  return Owned<BIGNUM>(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

template <std::size_t N>
bool Export(EVP_PKEY* pkey, const char* name, std::array<uint8_t, N>& out) {
  BIGNUM* raw = nullptr;
  if (EVP_PKEY_get_bn_param(pkey, name, &raw) != 1) return false;
  Owned<BIGNUM> value(raw);
  return BN_bn2binpad(value.get(), out.data(), static_cast<int>(N)) == static_cast<int>(N);
}

Owned<EVP_PKEY> PrivateKey(const RsaPrivateKey& key) {
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  Owned<BIGNUM> e(BN_new());
  if (!build || !e || BN_set_word(e.get(), kPublicExponent) != 1) return nullptr;
  Owned<BIGNUM> values[] = {Number(key.n),  Number(key.d),  Number(key.p),   Number(key.q),
                            Number(key.dp), Number(key.dq), Number(key.qinv)};
  const char* names[] = {OSSL_PKEY_PARAM_RSA_N,           OSSL_PKEY_PARAM_RSA_D,
                         OSSL_PKEY_PARAM_RSA_FACTOR1,     OSSL_PKEY_PARAM_RSA_FACTOR2,
                         OSSL_PKEY_PARAM_RSA_EXPONENT1,   OSSL_PKEY_PARAM_RSA_EXPONENT2,
                         OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  if (OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1) return nullptr;
  for (std::size_t i = 0; i < std::size(values); ++i)
    if (!values[i] || OSSL_PARAM_BLD_push_BN(build.get(), names[i], values[i].get()) != 1) return nullptr;
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(CryptoLibrary(), kRsaKeyType, nullptr));
  EVP_PKEY* raw = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_KEYPAIR, params.get()) != 1)
    return nullptr;
  return Owned<EVP_PKEY>(raw);
}

bool IsUsable(const RsaPublicKey& key) {
  if (key.n.size() < kMinModulus || key.n.size() > kMaxModulus || key.n.front() == 0 ||
      (key.n.back() & 1) == 0)
    return false;
  if (key.e.empty() || key.e.size() > 4 || (key.e.back() & 1) == 0) return false;
  unsigned long e = 0;
  for (uint8_t b : key.e) e = e << 8 | b;
  return e >= 3;
}

}  // namespace

std::optional<RsaPrivateKey> GenerateRsaKey() {
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(CryptoLibrary(), kRsaKeyType, nullptr));
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), static_cast<int>(kRsaBytes * 8)) != 1)
    return std::nullopt;
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_generate(ctx.get(), &raw) != 1) return std::nullopt;
  Owned<EVP_PKEY> pkey(raw);
  RsaPrivateKey key;
  std::array<uint8_t, 4> e{};
  const bool exported = Export(pkey.get(), OSSL_PKEY_PARAM_RSA_N, key.n) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_E, e) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_D, key.d) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, key.p) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, key.q) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, key.dp) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, key.dq) &&
                        Export(pkey.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, key.qinv);
  if (!exported || e != std::array<uint8_t, 4>{0x00, 0x01, 0x00, 0x01}) return std::nullopt;
  return key;
}

std::optional<std::vector<uint8_t>> RsaPrivate(const RsaPrivateKey& key, std::span<const uint8_t> input) {
  if (input.size() != kRsaBytes) return std::nullopt;
  Owned<EVP_PKEY> pkey = PrivateKey(key);
  if (!pkey) return std::nullopt;
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(CryptoLibrary(), pkey.get(), nullptr));
  if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1)
    return std::nullopt;
  std::vector<uint8_t> out(kRsaBytes);
  std::size_t out_len = out.size();
  if (EVP_PKEY_decrypt(ctx.get(), out.data(), &out_len, input.data(), input.size()) != 1 ||
      out_len != kRsaBytes)
    return std::nullopt;
  return out;
}

std::optional<std::vector<uint8_t>> RsaPublic(const RsaPublicKey& key, std::span<const uint8_t> input) {
  if (input.size() != key.n.size()) return std::nullopt;
  Owned<BN_CTX> ctx(BN_CTX_new_ex(CryptoLibrary()));
  Owned<BIGNUM> n = Number(key.n), e = Number(key.e), m = Number(input), r(BN_new());
  if (!ctx || !n || !e || !m || !r || BN_cmp(m.get(), n.get()) >= 0) return std::nullopt;
  if (BN_mod_exp(r.get(), m.get(), e.get(), n.get(), ctx.get()) != 1) return std::nullopt;
  std::vector<uint8_t> out(key.n.size());
  if (BN_bn2binpad(r.get(), out.data(), static_cast<int>(out.size())) != static_cast<int>(out.size()))
    return std::nullopt;
  return out;
}

bool IsConsistent(const RsaPrivateKey& key) {
  Owned<BN_CTX> ctx(BN_CTX_new_ex(CryptoLibrary()));
  Owned<BIGNUM> n = Number(key.n), p = Number(key.p), q = Number(key.q), product(BN_new());
  if (!ctx || !n || !p || !q || !product) return false;
  if (BN_num_bits(n.get()) != static_cast<int>(kRsaBytes * 8) || BN_is_zero(p.get()) || BN_is_zero(q.get()))
    return false;
  return BN_mul(product.get(), p.get(), q.get(), ctx.get()) == 1 && BN_cmp(product.get(), n.get()) == 0;
}

std::vector<uint8_t> PublicKeyRecord(const RsaPrivateKey& key) {
  std::vector<uint8_t> bytes(record::kMaxRecordBytes);
  bytes.resize(record::Write(bytes, key.n, record::kExponent.size()));
  return bytes;
}

std::optional<RsaPublicKey> ParsePublicKeyRecord(std::span<const uint8_t> bytes, bool whole) {
  const std::optional<record::Fields> fields = record::Parse(bytes, whole);
  if (!fields) return std::nullopt;
  RsaPublicKey key;
  key.n.assign(fields->modulus.begin(), fields->modulus.end());
  key.e.assign(fields->exponent.begin(), fields->exponent.end());
  if (!IsUsable(key)) return std::nullopt;
  return key;
}

}  // namespace tarnwick::vcard
