// Host-side cryptography through OpenSSL, to check the card's results.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include "card_session.h"
#include "common/openssl_owned.h"

namespace e2e {
namespace {

using Bn = tarnwick::openssl::Owned<BIGNUM>;
using BnCtx = tarnwick::openssl::Owned<BN_CTX>;
using PkeyCtx = tarnwick::openssl::Owned<EVP_PKEY_CTX>;
using Pkey = tarnwick::openssl::Owned<EVP_PKEY>;
using CipherCtx = tarnwick::openssl::Owned<EVP_CIPHER_CTX>;
using ParamBld = tarnwick::openssl::Owned<OSSL_PARAM_BLD>;
using Params = tarnwick::openssl::Owned<OSSL_PARAM>;

Bn ToBn(const std::vector<uint8_t>& bytes) {
  return Bn(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

std::vector<uint8_t> Ecb(const EVP_CIPHER* cipher, const std::vector<uint8_t>& key,
                         const std::vector<uint8_t>& data, bool encrypt) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  std::vector<uint8_t> out(data.size() + 32);
  int n = 0, tail = 0;
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(), nullptr, encrypt ? 1 : 0) != 1) return {};
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  if (EVP_CipherUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail) != 1)
    return {};
  out.resize(static_cast<std::size_t>(n + tail));
  return out;
}

// An RSA key from named big-number fields (n, e, and more for a key pair).
Pkey RsaKey(const std::vector<std::pair<const char*, const BIGNUM*>>& fields, int selection) {
  ParamBld bld(OSSL_PARAM_BLD_new());
  for (const auto& [name, value] : fields) OSSL_PARAM_BLD_push_BN(bld.get(), name, value);
  Params params(OSSL_PARAM_BLD_to_param(bld.get()));
  PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, selection, params.get()) != 1)
    return nullptr;
  return Pkey(key);
}

Pkey PublicKey(const std::vector<uint8_t>& n) {
  Bn modulus = ToBn(n);
  Bn e(BN_new());
  BN_set_word(e.get(), 65537);
  return RsaKey({{OSSL_PKEY_PARAM_RSA_N, modulus.get()}, {OSSL_PKEY_PARAM_RSA_E, e.get()}},
                EVP_PKEY_PUBLIC_KEY);
}

}  // namespace

std::array<uint8_t, 20> HostSha1(const std::vector<uint8_t>& message) {
  std::array<uint8_t, 20> digest{};
  SHA1(message.data(), message.size(), digest.data());
  return digest;
}

// Single DES is triple-DES with K1 = K2: E(K1) D(K1) E(K1) = E(K1).
std::vector<uint8_t> HostDes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& block, bool encrypt) {
  std::vector<uint8_t> two_key = key;
  if (two_key.size() == 8) two_key.insert(two_key.end(), key.begin(), key.end());
  return Ecb(EVP_des_ede_ecb(), two_key, block, encrypt);
}

std::vector<uint8_t> HostAes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& data, bool encrypt) {
  return Ecb(EVP_aes_128_ecb(), key, data, encrypt);
}

std::vector<uint8_t> HostRsaEncrypt(const std::vector<uint8_t>& n, const std::vector<uint8_t>& data) {
  Pkey key = PublicKey(n);
  PkeyCtx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  std::vector<uint8_t> out(512);
  std::size_t size = out.size();
  if (!key || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_encrypt(ctx.get(), out.data(), &size, data.data(), data.size()) != 1)
    return {};
  out.resize(size);
  return out;
}

std::vector<uint8_t> HostRsaRecover(const std::vector<uint8_t>& n, const std::vector<uint8_t>& signature) {
  Pkey key = PublicKey(n);
  PkeyCtx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  std::vector<uint8_t> out(512);
  std::size_t size = out.size();
  if (!key || EVP_PKEY_verify_recover_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_verify_recover(ctx.get(), out.data(), &size, signature.data(), signature.size()) != 1)
    return {};
  out.resize(size);
  return out;
}

std::vector<uint8_t> HostMultiply(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  BnCtx ctx(BN_CTX_new());
  Bn x = ToBn(a), y = ToBn(b), product(BN_new());
  BN_mul(product.get(), x.get(), y.get(), ctx.get());
  std::vector<uint8_t> out(static_cast<std::size_t>(BN_num_bytes(product.get())));
  BN_bn2bin(product.get(), out.data());
  return out;
}

// d is not among the five values; it is e^-1 mod lcm(p - 1, q - 1), and
// OpenSSL's check then ties dP, dQ and qInv to it.
bool HostRsaKeyIsValid(const std::vector<uint8_t>& p, const std::vector<uint8_t>& q,
                       const std::vector<uint8_t>& dp, const std::vector<uint8_t>& dq,
                       const std::vector<uint8_t>& qinv, const std::vector<uint8_t>& n) {
  BnCtx ctx(BN_CTX_new());
  Bn bp = ToBn(p), bq = ToBn(q), bdp = ToBn(dp), bdq = ToBn(dq), bqinv = ToBn(qinv), bn = ToBn(n);
  Bn e(BN_new()), p1(BN_dup(bp.get())), q1(BN_dup(bq.get())), gcd(BN_new()), lcm(BN_new()), d(BN_new());
  BN_set_word(e.get(), 65537);
  BN_sub_word(p1.get(), 1);
  BN_sub_word(q1.get(), 1);
  BN_gcd(gcd.get(), p1.get(), q1.get(), ctx.get());
  BN_mul(lcm.get(), p1.get(), q1.get(), ctx.get());
  BN_div(lcm.get(), nullptr, lcm.get(), gcd.get(), ctx.get());
  if (BN_mod_inverse(d.get(), e.get(), lcm.get(), ctx.get()) == nullptr) return false;
  Pkey key = RsaKey({{OSSL_PKEY_PARAM_RSA_N, bn.get()},
                     {OSSL_PKEY_PARAM_RSA_E, e.get()},
                     {OSSL_PKEY_PARAM_RSA_D, d.get()},
                     {OSSL_PKEY_PARAM_RSA_FACTOR1, bp.get()},
                     {OSSL_PKEY_PARAM_RSA_FACTOR2, bq.get()},
                     {OSSL_PKEY_PARAM_RSA_EXPONENT1, bdp.get()},
                     {OSSL_PKEY_PARAM_RSA_EXPONENT2, bdq.get()},
                     {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, bqinv.get()}},
                    EVP_PKEY_KEYPAIR);
  if (!key) return false;
  PkeyCtx check(EVP_PKEY_CTX_new(key.get(), nullptr));
  return EVP_PKEY_check(check.get()) == 1;
}

}  // namespace e2e
