// Card RSA, key-pair generation and DER INTEGER exports under the replay
// driver.
#include <algorithm>
#include <vector>

#include "common/buffers.h"
#include "common/check.h"
#include "der/der_check.h"
#include "exports/export_case.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

using tarnwick::sw::kSuccess;
using tarnwick::sw::kWrongLength;
constexpr std::size_t kAnswerRoom = 256;
constexpr std::size_t kModulusLength = 128;
constexpr std::size_t kOfflineRoom = 1000;
constexpr uint8_t kLongestExponent = 3;
// The generation command, up to 10000 polls, the generation command again.
constexpr uint64_t kGenerationExchanges = 1 + 10000 + 1;
// The longest DER content the harness builds for one call.
constexpr uint64_t kLongestDerContent = 4096;

using KeySlotOperation = int32_t (*)(uint8_t, const uint8_t*, uint8_t, uint8_t*, uint32_t*,
                                     tw_handle_t);

// The result and its length are written only on 0x9000, and never more
// than a one-byte response length.
void CheckOperationOutputs(int32_t result, const OutputBytes& out,
                           const OutputValue<uint32_t>& out_len) {
  if (result == kSuccess)
    Check(out_len.value() < kAnswerRoom, "an answer length above 255");
  else
    Check(out.Untouched() && out_len.Untouched(), "a failed operation wrote its outputs");
}

void RunKeySlotOperation(Call& c, KeySlotOperation operation) {
  const uint8_t keyid = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes data(c.in, len);
  OutputBytes out(kAnswerRoom);
  OutputValue<uint32_t> out_len;
  c.Expect(1);
  const int32_t result = operation(keyid, data.get(), len, out.get(), out_len.get(), c.reader);
  CheckOperationOutputs(result, out, out_len);
}

void RunPrivateSign(Call& c) { RunKeySlotOperation(c, rsaPrivateSign); }
void RunVerifyUsePKFile(Call& c) { RunKeySlotOperation(c, rsaPublicVerifyUsePKFile); }
void RunEncryptUsePKFile(Call& c) { RunKeySlotOperation(c, rsaPublicEncryptUsePKFile); }
void RunPrivateDecrypt(Call& c) { RunKeySlotOperation(c, rsaPrivateDecrypt); }

void RunPublicEncrypt(Call& c) {
  const uint8_t len = c.in.Byte();
  InputBytes modulus(c.in, kModulusLength);
  InputBytes data(c.in, len);
  OutputBytes out(kAnswerRoom);
  OutputValue<uint32_t> out_len;
  c.Expect(2);  // key load, operation
  const int32_t result =
      rsaPublicEncrypt(modulus.get(), data.get(), len, out.get(), out_len.get(), c.reader);
  CheckOperationOutputs(result, out, out_len);
}

void RunPublicVerify(Call& c) {
  const uint8_t mod_len = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes modulus(c.in, mod_len);
  InputBytes data(c.in, len);
  OutputBytes out(kAnswerRoom);
  OutputValue<uint32_t> out_len;
  c.Expect(2);
  const int32_t result =
      rsaPublicVerify(modulus.get(), mod_len, data.get(), len, out.get(), out_len.get(), c.reader);
  CheckOperationOutputs(result, out, out_len);
}

void RunWritePublicKey(Call& c) {
  const uint8_t fid = c.in.Byte();
  const uint8_t exp_len = c.in.Byte();
  InputBytes modulus(c.in, kModulusLength);
  const bool refused = exp_len > kLongestExponent;
  c.Expect(refused ? 0 : 3);  // SELECT FILE, then the record in two pieces
  const int32_t result = WritePublicKey(fid, modulus.get(), exp_len, c.reader);
  if (refused) Check(result == kWrongLength, "an exponent length above 3 was not refused");
}

void RunRsaGenerateKeyPair(Call& c) {
  const auto unused = static_cast<int32_t>(c.in.U32());
  const uint8_t keyid = c.in.Byte();
  OutputBytes modulus(kModulusLength);
  OutputValue<uint32_t> mod_len;
  c.Expect(kGenerationExchanges);
  const int32_t result = RsaGenerateKeyPair(unused, keyid, modulus.get(), mod_len.get(), c.reader);
  if (result == kSuccess)
    Check(mod_len.value() == kModulusLength, "a generated modulus not of 128 bytes");
  else
    Check(modulus.Untouched() && mod_len.Untouched(), "a failed generation wrote its outputs");
}

void RunOfflineRsaGenerateKeyPair(Call& c) {
  const auto unused = static_cast<int32_t>(c.in.U32());
  OutputBytes out(kOfflineRoom);
  OutputValue<uint32_t> out_len;
  c.Expect(kGenerationExchanges + 6);  // then one more and the five collected
  OfflineRsaGenerateKeyPair(unused, out.get(), out_len.get(), c.reader);
  Check(out_len.value() <= kOfflineRoom, "more collected than the room for 1000 bytes");
}

void RunMyRsaGeneratekey(Call& c) {
  const auto unused = static_cast<int32_t>(c.in.U32());
  const uint8_t fid = c.in.Byte();
  const uint8_t keyid = c.in.Byte();
  c.Expect(kGenerationExchanges + 1 + 2);  // then SELECT FILE and up to 255 bytes in two pieces
  MyRsaGeneratekey(unused, fid, keyid, c.reader);
}

// A DER INTEGER that the decoder's caller may pass: the encoding whole and
// at least one content byte.
void RunIntegerDERDecode(Call& c) {
  uint8_t header[6];
  c.in.Fill(header, sizeof header);
  const auto layout = ReadDerLayout(header, sizeof header);
  if (!layout || layout->content_length == 0 || layout->content_length > kLongestDerContent) return;
  std::vector<uint8_t> der(layout->header_size + layout->content_length);
  std::copy_n(header, layout->header_size, der.begin());
  c.in.Fill(der.data() + layout->header_size, layout->content_length);
  DecodeAndCheck(der.data(), *layout);
}

}  // namespace

void AddRsaExports(std::vector<ExportCase>& cases) {
  cases.insert(cases.end(), {{"rsaPrivateSign", RunPrivateSign},
                             {"rsaPublicVerifyUsePKFile", RunVerifyUsePKFile},
                             {"rsaPublicEncryptUsePKFile", RunEncryptUsePKFile},
                             {"rsaPrivateDecrypt", RunPrivateDecrypt},
                             {"rsaPublicEncrypt", RunPublicEncrypt},
                             {"rsaPublicVerify", RunPublicVerify},
                             {"WritePublicKey", RunWritePublicKey},
                             {"RsaGenerateKeyPair", RunRsaGenerateKeyPair},
                             {"OfflineRsaGenerateKeyPair", RunOfflineRsaGenerateKeyPair},
                             {"MyRsaGeneratekey", RunMyRsaGeneratekey},
                             {"IntegerDERDecode", RunIntegerDERDecode}});
}

}  // namespace twfuzz
