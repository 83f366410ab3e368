// Card RSA checked with OpenSSL on the host: key pairs made through the
// busy phase, PKCS #1 v1.5 signatures and encryption, public keys from key
// files and from the key-load frame, and the values of an offline key pair.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include "card_test_support.h"
#include "common/openssl_owned.h"
#include "vcard/rsa_key.h"

namespace vcardtest {
namespace {

using tarnwick::vcard::GenerateRsaKey;
using tarnwick::vcard::PublicKeyRecord;
using tarnwick::vcard::RsaPrivateKey;

using tarnwick::openssl::Owned;

Owned<BIGNUM> Number(const std::vector<uint8_t>& bytes) {
  return Owned<BIGNUM>(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

// An OpenSSL key from named big-endian values; e = 65537 is added.
Owned<EVP_PKEY> HostKey(const std::vector<std::pair<const char*, std::vector<uint8_t>>>& values,
                        int selection) {
  Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
  std::vector<Owned<BIGNUM>> numbers;
  numbers.push_back(Number({0x01, 0x00, 0x01}));
  OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, numbers.back().get());
  for (const auto& [name, bytes] : values) {
    numbers.push_back(Number(bytes));
    OSSL_PARAM_BLD_push_BN(build.get(), name, numbers.back().get());
  }
  Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  EVP_PKEY_fromdata_init(ctx.get());
  EVP_PKEY_fromdata(ctx.get(), &key, selection, params.get());
  return Owned<EVP_PKEY>(key);
}

Owned<EVP_PKEY> HostPublicKey(const std::vector<uint8_t>& n) {
  return HostKey({{OSSL_PKEY_PARAM_RSA_N, n}}, EVP_PKEY_PUBLIC_KEY);
}

enum class Op { kRecover, kEncrypt, kSign };

// PKCS #1 v1.5 without a digest: recover signed data, encrypt, or sign.
std::vector<uint8_t> HostRsa(EVP_PKEY* key, Op op, const std::vector<uint8_t>& in) {
  Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
  const int init = op == Op::kRecover   ? EVP_PKEY_verify_recover_init(ctx.get())
                   : op == Op::kEncrypt ? EVP_PKEY_encrypt_init(ctx.get())
                                        : EVP_PKEY_sign_init(ctx.get());
  if (init != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) return {};
  std::vector<uint8_t> out(512);
  std::size_t len = out.size();
  const int ok = op == Op::kRecover
                     ? EVP_PKEY_verify_recover(ctx.get(), out.data(), &len, in.data(), in.size())
                 : op == Op::kEncrypt ? EVP_PKEY_encrypt(ctx.get(), out.data(), &len, in.data(), in.size())
                                      : EVP_PKEY_sign(ctx.get(), out.data(), &len, in.data(), in.size());
  if (ok != 1) return {};
  out.resize(len);
  return out;
}

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 13);
  return out;
}

std::vector<uint8_t> GenerationCommand(uint8_t p2) { return {0x80, 0xCE, 0x00, p2, 0x00}; }

// The whole generation: passphrase 01, start, poll until ready, and the
// public record.
std::vector<uint8_t> Generate(Card& card, uint8_t p2) {
  EXPECT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  EXPECT_EQ(Send(card, GenerationCommand(p2)).sw, 0x6FF0);
  int polls = 0;
  while (Send(card, kPoll).sw == 0x6FF0) ++polls;
  const Answer a = Send(card, GenerationCommand(p2));
  EXPECT_EQ(a.sw, 0x9000);
  return a.data;
}

std::vector<uint8_t> Modulus(const std::vector<uint8_t>& record) {
  if (record.size() != 135) return {};
  return {record.begin() + 2, record.begin() + 130};
}

TEST(KeyGeneration, BusyForTheConfiguredPollsThenThePublicRecord) {
  for (int busy_polls : {0, 1, 4}) {
    Card card(CardOptions{busy_polls});
    ASSERT_EQ(Show(Send(card, kVerifyPassphrase01)), "9000");
    ASSERT_EQ(Show(Send(card, "80 CE 00 01 00")), "6FF0");
    for (int i = 0; i < busy_polls; ++i) ASSERT_EQ(Show(Send(card, kPoll)), "6FF0") << i;
    ASSERT_EQ(Show(Send(card, kPoll)), "6D00");
    const Answer record = Send(card, "80 CE 00 01 00");
    ASSERT_EQ(record.sw, 0x9000);
    ASSERT_EQ(record.data.size(), 135u);
    EXPECT_EQ(Hex({record.data.begin(), record.data.begin() + 2}), "6E 80");
    EXPECT_GE(record.data[2], 0x80) << "a 1024-bit modulus";
    EXPECT_EQ(Hex({record.data.end() - 5, record.data.end()}), "65 03 01 00 01");
    EXPECT_EQ(Send(card, "80 CE 00 01 00").data, record.data) << "a slot's record is repeated";
  }
}

std::optional<RsaPrivateKey> NoKey() { return std::nullopt; }

std::optional<RsaPrivateKey> FixedKey() {
  static const std::optional<RsaPrivateKey> key = GenerateRsaKey();
  return key;
}

TEST(KeyGeneration, TakesItsKeyFromTheConfiguredSource) {
  Card card(CardOptions{.busy_polls = 0, .key_pair_source = FixedKey});
  ASSERT_EQ(Show(Send(card, kVerifyPassphrase01)), "9000");
  ASSERT_EQ(Show(Send(card, "80 CE 00 02 00")), "6FF0");
  ASSERT_EQ(Show(Send(card, kPoll)), "6D00");
  const Answer record = Send(card, "80 CE 00 02 00");
  ASSERT_EQ(record.sw, 0x9000);
  EXPECT_EQ(record.data, PublicKeyRecord(*FixedKey()));
}

TEST(KeyGeneration, ASourceWithNoKeyFailsTheGenerationAndEndsIt) {
  Card card(CardOptions{.busy_polls = 0, .key_pair_source = NoKey});
  ASSERT_EQ(Show(Send(card, kVerifyPassphrase01)), "9000");
  ASSERT_EQ(Show(Send(card, "80 CE 00 02 00")), "6FF0");
  ASSERT_EQ(Show(Send(card, kPoll)), "6D00");
  EXPECT_EQ(Show(Send(card, "80 CE 00 02 00")), "6F00");
  EXPECT_EQ(Show(Send(card, "80 CE 00 02 00")), "6FF0") << "the next command starts afresh";
}

class GenerationScripts : public ::testing::TestWithParam<Script> {};

TEST_P(GenerationScripts, AnswersAsExpected) {
  Card card(CardOptions{1});
  RunScript(card, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    KeyGeneration, GenerationScripts,
    ::testing::Values(
        Script{"bad_parameters",
               {{"80 CE 00 05 00", "6A86"}, {"80 CE 00 01 01 00", "6700"}, {"80 CE 10 01 00", "6A86"}}},
        Script{"repeated_before_ready_stays_busy",
               {{kVerifyPassphrase01, "9000"},
                {"80 CE 00 01 00", "6FF0"}, {"80 CE 00 01 00", "6FF0"}, {kPoll, "6FF0"}}},
        Script{"another_command_abandons_it",
               {{kVerifyPassphrase01, "9000"},
                {"80 CE 00 01 00", "6FF0"},
                {"00 A4 00 0C 02 00 01", "9000"},
                {kPoll, "6D00"},
                {"80 CE 00 01 00", "6FF0"}}},
        Script{"another_slot_starts_over",
               {{kVerifyPassphrase01, "9000"},
                {"80 CE 00 01 00", "6FF0"},
                {kPoll, "6FF0"},
                {kPoll, "6D00"},
                {"80 CE 00 02 00", "6FF0"},
                {kPoll, "6FF0"}}},
        // Slot keys serve after passphrase 01 in this card session only;
        // offline generation keeps nothing and needs nothing.
        Script{"slot_keys_need_passphrase_01",
               {{"80 CE 00 01 00", "6982"},
                {"80 C2 00 01 02 AA BB", "6982"},
                {"80 C8 00 01 80 " + Hex(std::vector<uint8_t>(128, 0x00)), "6982"},
                {"80 CE 00 00 00", "6FF0"},
                {"00 20 00 01 08 30 30 30 30 30 30 30 30", "63C2"},
                {"80 CE 00 01 00", "6982"},
                {kVerifyPassphrase01, "9000"},
                {"80 CE 00 01 00", "6FF0"}}}),
    ScriptName);

struct SignCase {
  std::size_t length;
  uint16_t sw;
};

class Signatures : public ::testing::TestWithParam<SignCase> {};

// A standard PKCS #1 v1.5 signature: OpenSSL recovers the signed bytes
// with the modulus of the public record.
TEST_P(Signatures, RecoveredByOpenSsl) {
  static Card card;
  static const std::vector<uint8_t> modulus = Modulus(Generate(card, 0x02));
  const std::vector<uint8_t> data = Pattern(GetParam().length, 0x31);
  const Answer signature = Send(card, Apdu(0x80, 0xC2, 0x00, 0x02, data));
  ASSERT_EQ(signature.sw, GetParam().sw);
  if (GetParam().sw != 0x9000) return;
  ASSERT_EQ(signature.data.size(), 128u);
  EXPECT_EQ(Hex(HostRsa(HostPublicKey(modulus).get(), Op::kRecover, signature.data)), Hex(data));
  const Answer recovered =
      Send(card, Apdu(0x80, 0xCC, 0x00, 0x87,
                      Concat(Concat({0x6E, 0x80}, modulus), {0x65, 0x03, 0x01, 0x00, 0x01}), 0x20));
  ASSERT_EQ(recovered.sw, 0x9000);
  EXPECT_EQ(Show(Send(card, Apdu(0x80, 0xC4, 0x00, 0x00, signature.data))),
            Hex(data) + (data.empty() ? "9000" : " | 9000"));
}

INSTANTIATE_TEST_SUITE_P(Lengths, Signatures,
                         ::testing::Values(SignCase{0, 0x9000}, SignCase{1, 0x9000}, SignCase{20, 0x9000},
                                           SignCase{35, 0x9000}, SignCase{117, 0x9000},
                                           SignCase{118, 0x6700}));

class Decryption : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Decryption, UndoesOpenSslEncryption) {
  static Card card;
  static const std::vector<uint8_t> modulus = Modulus(Generate(card, 0x03));
  const std::vector<uint8_t> data = Pattern(GetParam(), 0x70);
  const std::vector<uint8_t> cipher = HostRsa(HostPublicKey(modulus).get(), Op::kEncrypt, data);
  ASSERT_EQ(cipher.size(), 128u);
  const Answer plain = Send(card, Apdu(0x80, 0xC8, 0x00, 0x03, cipher));
  EXPECT_EQ(plain.sw, 0x9000);
  EXPECT_EQ(Hex(plain.data), Hex(data));
}

INSTANTIATE_TEST_SUITE_P(Lengths, Decryption, ::testing::Values(1u, 16u, 100u, 117u));

// The card's own encryption, through a key file and through the key-load
// frame, is undone by its private key.
TEST(PublicKeys, FromKeyFileAndKeyLoad) {
  Card card;
  const std::vector<uint8_t> record = Generate(card, 0x01);
  ASSERT_EQ(Send(card, "00 A4 00 0C 02 00 10").sw, 0x9000);
  ASSERT_EQ(Send(card, Apdu(0x00, 0xD6, 0x00, 0x00, {record.begin(), record.begin() + 128})).sw, 0x9000);
  ASSERT_EQ(Send(card, Apdu(0x00, 0xD6, 0x00, 0x80, {record.begin() + 128, record.end()})).sw, 0x9000);
  ASSERT_EQ(Send(card, Apdu(0x80, 0xCC, 0x00, 0x87, record, 0x20)).sw, 0x9000);
  const std::vector<uint8_t> data = Pattern(40, 0x05);
  for (uint8_t key_ref : {0x10, 0x00}) {
    const Answer cipher = Send(card, Apdu(0x80, 0xC6, 0x00, key_ref, data));
    ASSERT_EQ(cipher.sw, 0x9000) << int{key_ref};
    ASSERT_EQ(cipher.data.size(), 128u);
    const Answer plain = Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, cipher.data));
    EXPECT_EQ(Hex(plain.data), Hex(data)) << int{key_ref};
    const Answer signature = Send(card, Apdu(0x80, 0xC2, 0x00, 0x01, data));
    EXPECT_EQ(Hex(Send(card, Apdu(0x80, 0xC4, 0x00, key_ref, signature.data)).data), Hex(data));
  }
  EXPECT_NE(Send(card, Apdu(0x80, 0xC6, 0x00, 0x10, data)).data,
            Send(card, Apdu(0x80, 0xC6, 0x00, 0x10, data)).data)
      << "type-2 padding is random";
  card.Reset();
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC6, 0x00, 0x00, data)).sw, 0x6A88) << "a reset forgets the loaded key";
}

// A key of another size loaded by the key-load frame: 512 bits, signed by
// OpenSSL.
TEST(PublicKeys, LoadedKeyOfAnotherSize) {
  Owned<EVP_PKEY> host(EVP_RSA_gen(512));
  ASSERT_TRUE(host);
  BIGNUM* raw = nullptr;
  ASSERT_EQ(EVP_PKEY_get_bn_param(host.get(), OSSL_PKEY_PARAM_RSA_N, &raw), 1);
  Owned<BIGNUM> n(raw);
  std::vector<uint8_t> modulus(64);
  BN_bn2binpad(n.get(), modulus.data(), 64);
  const std::vector<uint8_t> data = Pattern(20, 0x44);
  const std::vector<uint8_t> signature = HostRsa(host.get(), Op::kSign, data);
  Card card;
  const std::vector<uint8_t> record = Concat(Concat({0x6E, 0x40}, modulus), {0x65, 0x03, 0x01, 0x00, 0x01});
  ASSERT_EQ(Send(card, Apdu(0x80, 0xCC, 0x00, 0x47, record, 0x20)).sw, 0x9000);
  EXPECT_EQ(Hex(Send(card, Apdu(0x80, 0xC4, 0x00, 0x00, signature)).data), Hex(data));
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC4, 0x00, 0x00, Concat(signature, {0x00}))).sw, 0x6700);
}

class RsaErrors : public ::testing::TestWithParam<Script> {};

TEST_P(RsaErrors, AnswersAsExpected) {
  Card card;
  RunScript(card, GetParam().steps);
}

const std::string k128Zeros = Hex(std::vector<uint8_t>(128, 0x00));
const std::string k128Ff = Hex(std::vector<uint8_t>(128, 0xFF));

INSTANTIATE_TEST_SUITE_P(
    Operations, RsaErrors,
    ::testing::Values(Script{"private_key_slots",
                             {{kVerifyPassphrase01, "9000"},
                              {"80 C2 00 01 02 AA BB", "6A88"},
                              {"80 C2 00 00 02 AA BB", "6A86"},
                              {"80 C2 00 05 02 AA BB", "6A86"},
                              {"80 C8 00 01 80 " + k128Zeros, "6A88"},
                              {"80 C2 01 01 02 AA BB", "6A86"}}},
                      Script{"key_files",
                             {{"80 C4 00 01 80 " + k128Zeros, "6984"},
                              {"80 C4 00 02 80 " + k128Zeros, "6981"},
                              {"80 C6 00 77 02 AA BB", "6A82"},
                              {"80 C6 00 00 02 AA BB", "6A88"}}},
                      // EF 0030, readable after passphrase 01, holding a usable public key.
                      Script{"key_file_read_condition",
                             {{"80 E0 00 30 07 01 00 87 11 00 00 00", "9000"},
                              {"00 D6 00 00 87 6E 80 " + Hex(std::vector<uint8_t>(127, 0xFF)) + " FB 65 03 01 00 01",
                               "9000"},
                              {"80 C4 00 30 80 " + k128Zeros, "6982"},
                              {"80 C6 00 30 02 AA BB", "6982"},
                              {kVerifyPassphrase01, "9000"},
                              {"80 C4 00 30 80 " + k128Zeros, "6A80"}}},
                      Script{"key_load_frames",
                             {{"80 CC 00 08 07 6E 01 01 65 01 03 00 20", "6A86"},
                              {"80 CC 00 07 07 6E 01 01 65 01 03 00 20", "6A80"},
                              {"80 CC 00 86 86 6E 80 " + k128Ff + " 65 03 01 00 20", "6A80"},
                              {"80 CC 00 87 87 6E 80 " + k128Ff + " 65 03 01 00 00 20", "6A80"},
                              {"80 CC 00 87 87 6E 80 " + Hex(std::vector<uint8_t>(127, 0xFF)) +
                                   " FB 65 03 01 00 01 20",
                               "9000"},
                              {"80 C4 00 00 80 " + k128Ff, "6A80"},
                              {"80 C6 00 00 76 " + Hex(std::vector<uint8_t>(118, 0x01)), "6700"}}}),
    ScriptName);

// m^65537 mod n, without padding.
std::vector<uint8_t> RawEncrypt(const std::vector<uint8_t>& modulus, const std::vector<uint8_t>& m) {
  Owned<BN_CTX> ctx(BN_CTX_new());
  Owned<BIGNUM> r(BN_new());
  BN_mod_exp(r.get(), Number(m).get(), Number({0x01, 0x00, 0x01}).get(), Number(modulus).get(), ctx.get());
  std::vector<uint8_t> out(modulus.size());
  BN_bn2binpad(r.get(), out.data(), static_cast<int>(out.size()));
  return out;
}

TEST(Decryption, RefusesWhatIsNotATypeTwoBlock) {
  Card card;
  const std::vector<uint8_t> modulus = Modulus(Generate(card, 0x01));
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, std::vector<uint8_t>(127, 0x01))).sw, 0x6700);
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, modulus)).sw, 0x6A80) << "not below the modulus";
  const std::vector<uint8_t> data = Pattern(20, 0);
  std::vector<uint8_t> type1 = {0x00, 0x01};
  type1.resize(128 - 21, 0xFF);
  type1.push_back(0x00);
  type1.insert(type1.end(), data.begin(), data.end());
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, RawEncrypt(modulus, type1))).sw, 0x6A80);
  std::vector<uint8_t> type2 = type1;
  type2[1] = 0x02;
  EXPECT_EQ(Hex(Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, RawEncrypt(modulus, type2))).data), Hex(data));
  type2[5] = 0x00;  // the padding ends after three bytes, not eight
  EXPECT_EQ(Send(card, Apdu(0x80, 0xC8, 0x00, 0x01, RawEncrypt(modulus, type2))).sw, 0x6A80);
}

// The offline answers are d, p, q, dP, dQ and qInv: with the modulus they
// make a key that OpenSSL accepts and that signs as the card would.
TEST(KeyGeneration, OfflineValuesFormAValidKey) {
  Card card;
  const std::vector<uint8_t> modulus = Modulus(Generate(card, 0x00));
  ASSERT_EQ(modulus.size(), 128u);
  std::vector<std::vector<uint8_t>> values;
  for (std::size_t width : {128, 64, 64, 64, 64, 64}) {
    const Answer a = Send(card, "80 CE 00 00 00");
    ASSERT_EQ(a.sw, 0x9000);
    ASSERT_EQ(a.data.size(), width);
    values.push_back(a.data);
  }
  Owned<BN_CTX> ctx(BN_CTX_new());
  Owned<BIGNUM> product(BN_new());
  BN_mul(product.get(), Number(values[1]).get(), Number(values[2]).get(), ctx.get());
  EXPECT_EQ(BN_cmp(product.get(), Number(modulus).get()), 0) << "p q = n";

  Owned<EVP_PKEY> key = HostKey({{OSSL_PKEY_PARAM_RSA_N, modulus},
                                 {OSSL_PKEY_PARAM_RSA_D, values[0]},
                                 {OSSL_PKEY_PARAM_RSA_FACTOR1, values[1]},
                                 {OSSL_PKEY_PARAM_RSA_FACTOR2, values[2]},
                                 {OSSL_PKEY_PARAM_RSA_EXPONENT1, values[3]},
                                 {OSSL_PKEY_PARAM_RSA_EXPONENT2, values[4]},
                                 {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, values[5]}},
                                EVP_PKEY_KEYPAIR);
  ASSERT_TRUE(key);
  Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  EXPECT_EQ(EVP_PKEY_check(check.get()), 1);
  const std::vector<uint8_t> data = Pattern(30, 9);
  EXPECT_EQ(Hex(HostRsa(HostPublicKey(modulus).get(), Op::kRecover, HostRsa(key.get(), Op::kSign, data))),
            Hex(data));

  EXPECT_EQ(Show(Send(card, "80 CE 00 00 00")), "6FF0") << "after qInv a new generation starts";
  for (uint8_t slot = 1; slot <= 4; ++slot)
    EXPECT_EQ(Send(card, Apdu(0x80, 0xC2, 0x00, slot, data)).sw, 0x6A88) << "the key stays in no slot";
}

TEST(KeyGeneration, SlotsHoldTheirOwnKeys) {
  Card card;
  const std::vector<uint8_t> first = Modulus(Generate(card, 0x01));
  const std::vector<uint8_t> second = Modulus(Generate(card, 0x04));
  EXPECT_NE(first, second);
  const std::vector<uint8_t> data = Pattern(20, 0x01);
  const Answer signature = Send(card, Apdu(0x80, 0xC2, 0x00, 0x04, data));
  EXPECT_EQ(Hex(HostRsa(HostPublicKey(second).get(), Op::kRecover, signature.data)), Hex(data));
  EXPECT_TRUE(HostRsa(HostPublicKey(first).get(), Op::kRecover, signature.data).empty());
}

}  // namespace
}  // namespace vcardtest
