// Card RSA through the library, checked against OpenSSL: key pairs made
// through the card's busy phase, encryption, signatures, public keys kept
// in files, and the private values of an offline key pair.
#include "card_session.h"

namespace e2e {
namespace {

constexpr uint8_t kSlot = 0x01;
constexpr uint8_t kKeyFile = 0x10;

class CardRsa : public CardSession {
 protected:
  // The card's slot keys serve only after passphrase 01.
  void SetUp() override {
    CardSession::SetUp();
    ASSERT_EQ(VerifyPassphrase(kPassphrase01.data(), static_cast<uint8_t>(kPassphrase01.size()), 0x01, reader_),
              0x9000);
  }

  std::vector<uint8_t> Generate(uint8_t slot) {
    std::vector<uint8_t> modulus(128, 0);
    uint32_t length = 0;
    EXPECT_EQ(RsaGenerateKeyPair(0, slot, modulus.data(), &length, reader_), 0x9000);
    EXPECT_EQ(length, 128u);
    return modulus;
  }

  // The answer data of the first command traced as `command`, as hex.
  std::string TracedAnswer(const std::string& command, const std::string& starting_with) const {
    const std::vector<std::string> lines = TraceLines();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
      if (lines[i] == "COM1 > " + command && lines[i + 1].starts_with("COM1 < " + starting_with))
        return lines[i + 1].substr(7, lines[i + 1].find(" | ") - 7);
    return {};
  }
};

// The first generation command answers busy, polls answer busy until the
// card is ready (0x6D00), and the repeated command hands out the record.
TEST_F(CardRsa, KeyPairGenerationWaitsOutTheBusyCard) {
  const std::vector<uint8_t> modulus = Generate(kSlot);
  EXPECT_GE(modulus[0], 0x80) << "a 1024-bit modulus";

  const std::vector<std::string> lines = TraceLines();
  std::vector<std::string> exchange;
  bool started = false;
  for (const std::string& line : lines) {
    started = started || line == "COM1 > 80 CE 00 01 00";
    if (started) exchange.push_back(line);
  }
  ASSERT_GE(exchange.size(), 6u);
  EXPECT_FALSE(exchange[1].starts_with("COM1 < 6D00")) << exchange[1];
  EXPECT_FALSE(exchange[1].ends_with("9000 (command completed)")) << exchange[1];
  EXPECT_EQ(exchange[2], "COM1 > 00 00 00 00 00");
  const std::size_t n = exchange.size();
  EXPECT_EQ(exchange[n - 4], "COM1 > 00 00 00 00 00");
  EXPECT_EQ(exchange[n - 3], "COM1 < 6D00 (instruction not supported)");
  EXPECT_EQ(exchange[n - 2], "COM1 > 80 CE 00 01 00");
  EXPECT_EQ(exchange[n - 1], "COM1 < 6E 80 " + Hex(modulus) + " 65 03 01 00 01 | 9000 (command completed)");
}

class RsaDataLengths : public CardRsa, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(RsaDataLengths, PublicEncryptionIsUndoneByThePrivateKey) {
  const std::vector<uint8_t> modulus = Generate(kSlot);
  const std::vector<uint8_t> data = Pattern(GetParam(), 0x61);
  std::vector<uint8_t> cipher(256), plain(256);
  uint32_t cipher_length = 0, plain_length = 0;
  ASSERT_EQ(rsaPublicEncrypt(modulus.data(), data.data(), static_cast<uint8_t>(data.size()), cipher.data(),
                             &cipher_length, reader_),
            0x9000);
  ASSERT_EQ(cipher_length, 128u);
  ASSERT_EQ(rsaPrivateDecrypt(kSlot, cipher.data(), 128, plain.data(), &plain_length, reader_), 0x9000);
  plain.resize(plain_length);
  EXPECT_EQ(Hex(plain), Hex(data));

  // OpenSSL's PKCS #1 v1.5 encryption under the card's modulus decrypts too.
  const std::vector<uint8_t> host_cipher = HostRsaEncrypt(modulus, data);
  ASSERT_EQ(host_cipher.size(), 128u);
  plain.assign(256, 0);
  ASSERT_EQ(rsaPrivateDecrypt(kSlot, host_cipher.data(), 128, plain.data(), &plain_length, reader_), 0x9000);
  plain.resize(plain_length);
  EXPECT_EQ(Hex(plain), Hex(data));
}

TEST_P(RsaDataLengths, SignatureIsRecoveredByThePublicKey) {
  const std::vector<uint8_t> modulus = Generate(kSlot);
  const std::vector<uint8_t> data = Pattern(GetParam(), 0x17);
  std::vector<uint8_t> signature(256), recovered(256);
  uint32_t signature_length = 0, recovered_length = 0;
  ASSERT_EQ(rsaPrivateSign(kSlot, data.data(), static_cast<uint8_t>(data.size()), signature.data(),
                           &signature_length, reader_),
            0x9000);
  ASSERT_EQ(signature_length, 128u);
  signature.resize(128);
  ASSERT_EQ(rsaPublicVerify(modulus.data(), 128, signature.data(), 128, recovered.data(), &recovered_length,
                            reader_),
            0x9000);
  recovered.resize(recovered_length);
  EXPECT_EQ(Hex(recovered), Hex(data));
  // A standard PKCS #1 v1.5 signature: OpenSSL recovers the same bytes.
  EXPECT_EQ(Hex(HostRsaRecover(modulus, signature)), Hex(data));
}

INSTANTIATE_TEST_SUITE_P(Lengths, RsaDataLengths, ::testing::Values(1u, 20u, 35u, 100u, 117u));

TEST_F(CardRsa, PublicKeyFileServesVerifyAndEncrypt) {
  const std::vector<uint8_t> modulus = Generate(kSlot);
  ASSERT_EQ(WritePublicKey(kKeyFile, modulus.data(), 3, reader_), 0x9000);
  std::vector<uint8_t> record(135);
  ASSERT_EQ(ReadBin(135, record.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(record), "6E 80 " + Hex(modulus) + " 65 03 01 00 01");

  const std::vector<uint8_t> data = Pattern(36, 0x33);
  std::vector<uint8_t> signature(256), recovered(256);
  uint32_t signature_length = 0, recovered_length = 0;
  ASSERT_EQ(rsaPrivateSign(kSlot, data.data(), 36, signature.data(), &signature_length, reader_), 0x9000);
  ASSERT_EQ(rsaPublicVerifyUsePKFile(kKeyFile, signature.data(), 128, recovered.data(), &recovered_length,
                                     reader_),
            0x9000);
  recovered.resize(recovered_length);
  EXPECT_EQ(Hex(recovered), Hex(data));

  std::vector<uint8_t> cipher(256), plain(256);
  uint32_t cipher_length = 0, plain_length = 0;
  ASSERT_EQ(rsaPublicEncryptUsePKFile(kKeyFile, data.data(), 36, cipher.data(), &cipher_length, reader_), 0x9000);
  ASSERT_EQ(rsaPrivateDecrypt(kSlot, cipher.data(), 128, plain.data(), &plain_length, reader_), 0x9000);
  plain.resize(plain_length);
  EXPECT_EQ(Hex(plain), Hex(data));
}

TEST_F(CardRsa, SlotsHoldTheirOwnKeys) {
  const std::vector<uint8_t> first = Generate(1);
  const std::vector<uint8_t> second = Generate(2);
  EXPECT_NE(first, second);
  const std::vector<uint8_t> data = Pattern(20, 0x01);
  std::vector<uint8_t> signature(256);
  uint32_t length = 0;
  ASSERT_EQ(rsaPrivateSign(2, data.data(), 20, signature.data(), &length, reader_), 0x9000);
  signature.resize(128);
  EXPECT_EQ(Hex(HostRsaRecover(second, signature)), Hex(data));
  EXPECT_TRUE(HostRsaRecover(first, signature).empty());
  EXPECT_NE(rsaPrivateSign(3, data.data(), 20, signature.data(), &length, reader_), 0x9000) << "slot 3 is empty";
}

TEST_F(CardRsa, GeneratedRecordCanGoStraightToAFile) {
  ASSERT_EQ(MyRsaGeneratekey(0, kKeyFile, 4, reader_), 0x9000);
  const std::string record = TracedAnswer("80 CE 00 04 00", "6E 80");
  ASSERT_FALSE(record.empty());
  ASSERT_EQ(SelectFile(0x00, 0, kKeyFile, reader_), 0x9000);
  std::vector<uint8_t> stored(135);
  ASSERT_EQ(ReadBin(135, stored.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(stored), record);
}

// The five values are p, q, dP, dQ and qInv; with the modulus of the public
// record that came before them they make a valid RSA key.
TEST_F(CardRsa, OfflineKeyPairValuesFormAValidKey) {
  std::vector<uint8_t> values(1000, 0);
  uint32_t length = 0;
  ASSERT_EQ(OfflineRsaGenerateKeyPair(0, values.data(), &length, reader_), 0x9000);
  ASSERT_EQ(length, 320u);
  auto part = [&](int i) { return std::vector<uint8_t>(values.begin() + 64 * i, values.begin() + 64 * (i + 1)); };

  const std::vector<uint8_t> record = Bytes(TracedAnswer("80 CE 00 00 00", "6E 80"));
  ASSERT_EQ(record.size(), 135u);
  const std::vector<uint8_t> modulus(record.begin() + 2, record.begin() + 130);
  EXPECT_EQ(Hex(HostMultiply(part(0), part(1))), Hex(modulus));
  EXPECT_TRUE(HostRsaKeyIsValid(part(0), part(1), part(2), part(3), part(4), modulus));

  // The trace showed the public record but none of the private values.
  const std::string trace = skorratest::ReadFile(folder_.path() / "trace.txt");
  EXPECT_EQ(trace.find(Hex(part(0)).substr(0, 47)), std::string::npos);
}

}  // namespace
}  // namespace e2e
