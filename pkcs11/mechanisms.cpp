// Mechanism table, host hashing and DigestInfo prefixes, and RSA public-key
// operations through OpenSSL's EVP interface.
#include "mechanisms.h"

#include <algorithm>
#include <array>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include "card_link.h"
#include "common/openssl_owned.h"

namespace tarnwick::pkcs11 {
namespace {

using openssl::Owned;


struct Mechanism {
  CK_MECHANISM_TYPE type;
  CK_FLAGS flags;
  const char* digest;  // OpenSSL's name of the host hash, or nullptr
  std::span<const uint8_t> digest_info;
};

// DER of DigestInfo up to the hash value (RFC 8017, section 9.2, note 1).
constexpr uint8_t kSha1Info[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
constexpr uint8_t kSha256Info[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                   0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
constexpr uint8_t kSha384Info[] = {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                   0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30};
constexpr uint8_t kSha512Info[] = {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                   0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40};

constexpr CK_FLAGS kSignature = CKF_HW | CKF_SIGN | CKF_VERIFY;

const std::array<Mechanism, 8> kMechanisms = {{
    {CKM_RSA_PKCS_KEY_PAIR_GEN, CKF_HW | CKF_GENERATE_KEY_PAIR, nullptr, {}},
    {CKM_RSA_PKCS, kSignature | CKF_DECRYPT | CKF_ENCRYPT, nullptr, {}},
    {CKM_SHA1_RSA_PKCS, kSignature, "SHA1", kSha1Info},
    {CKM_SHA256_RSA_PKCS, kSignature, "SHA256", kSha256Info},
    {CKM_SHA384_RSA_PKCS, kSignature, "SHA384", kSha384Info},
    {CKM_SHA512_RSA_PKCS, kSignature, "SHA512", kSha512Info},
    {CKM_SHA_1, CKF_DIGEST, "SHA1", {}},
    {CKM_SHA256, CKF_DIGEST, "SHA256", {}},
}};

const std::array<CK_MECHANISM_TYPE, kMechanisms.size()> kTypes = [] {
  std::array<CK_MECHANISM_TYPE, kMechanisms.size()> types{};
  std::transform(kMechanisms.begin(), kMechanisms.end(), types.begin(), [](const Mechanism& m) { return m.type; });
  return types;
}();

const Mechanism* Find(CK_MECHANISM_TYPE type) {
  auto it = std::find_if(kMechanisms.begin(), kMechanisms.end(), [&](const Mechanism& m) { return m.type == type; });
  return it == kMechanisms.end() ? nullptr : &*it;
}

Owned<EVP_PKEY> PublicKey(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent) {
  Owned<BIGNUM> n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
  Owned<BIGNUM> e(BN_bin2bn(exponent.data(), static_cast<int>(exponent.size()), nullptr));
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  if (!n || !e || !build || !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
      !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
    return nullptr;
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
    return nullptr;
  return Owned<EVP_PKEY>(key);
}

}  // namespace

std::span<const CK_MECHANISM_TYPE> MechanismList() { return kTypes; }

std::optional<CK_MECHANISM_INFO> MechanismInfo(CK_MECHANISM_TYPE type) {
  const Mechanism* m = Find(type);
  if (m == nullptr) return std::nullopt;
  const bool keyed = (m->flags & CKF_DIGEST) == 0;
  return CK_MECHANISM_INFO{keyed ? kKeyBits : 0, keyed ? kKeyBits : 0, m->flags};
}

bool MechanismAllows(CK_MECHANISM_TYPE type, CK_FLAGS function) {
  const Mechanism* m = Find(type);
  return m != nullptr && (m->flags & function) == function;
}

struct Hash::State {
  EVP_MD_CTX* ctx = nullptr;
  ~State() { EVP_MD_CTX_free(ctx); }
};

Hash::Hash(std::unique_ptr<State> state) : state_(std::move(state)) {}
Hash::~Hash() = default;

CK_RV Hash::Start(CK_MECHANISM_TYPE mechanism, std::unique_ptr<Hash>* out) {
  out->reset();
  const Mechanism* m = Find(mechanism);
  if (m == nullptr || m->digest == nullptr) return CKR_OK;
  auto state = std::make_unique<State>();
  state->ctx = EVP_MD_CTX_new();
  if (state->ctx == nullptr) return CKR_HOST_MEMORY;
  if (EVP_DigestInit_ex2(state->ctx, EVP_get_digestbyname(m->digest), nullptr) != 1) return CKR_GENERAL_ERROR;
  out->reset(new Hash(std::move(state)));
  return CKR_OK;
}

bool Hash::Update(std::span<const uint8_t> data) {
  return data.empty() || EVP_DigestUpdate(state_->ctx, data.data(), data.size()) == 1;
}

std::optional<Bytes> Hash::Final() {
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(state_->ctx, out.data(), &n) != 1) return std::nullopt;
  out.resize(n);
  return out;
}

std::size_t Hash::Size() const { return static_cast<std::size_t>(EVP_MD_CTX_get_size(state_->ctx)); }

Bytes DigestInfo(CK_MECHANISM_TYPE mechanism, const Bytes& hash) {
  const Mechanism* m = Find(mechanism);
  Bytes info(m->digest_info.begin(), m->digest_info.end());
  info.insert(info.end(), hash.begin(), hash.end());
  return info;
}

// Without a signature digest the PKCS #1 check compares the recovered
// block's payload with the expected bytes as they are.
CK_RV VerifyPkcs1(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent, const Bytes& signed_data,
                  std::span<const uint8_t> signature) {
  Owned<EVP_PKEY> key = PublicKey(modulus, exponent);
  Owned<EVP_PKEY_CTX> ctx(key ? EVP_PKEY_CTX_new(key.get(), nullptr) : nullptr);
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0)
    return CKR_GENERAL_ERROR;
  const int result =
      EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), signed_data.data(), signed_data.size());
  return result == 1 ? CKR_OK : CKR_SIGNATURE_INVALID;
}

CK_RV EncryptPkcs1(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent, const Bytes& plain,
                   Bytes* cipher) {
  Owned<EVP_PKEY> key = PublicKey(modulus, exponent);
  Owned<EVP_PKEY_CTX> ctx(key ? EVP_PKEY_CTX_new(key.get(), nullptr) : nullptr);
  if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0)
    return CKR_GENERAL_ERROR;
  std::size_t n = modulus.size();
  Bytes out(n);
  if (EVP_PKEY_encrypt(ctx.get(), out.data(), &n, plain.data(), plain.size()) <= 0) return CKR_GENERAL_ERROR;
  out.resize(n);
  *cipher = std::move(out);
  return CKR_OK;
}

}  // namespace tarnwick::pkcs11
