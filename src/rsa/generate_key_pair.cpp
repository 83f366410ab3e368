// RsaGenerateKeyPair: has the card generate a 1024-bit key pair in a key slot
// and hands back the modulus from the card's public-key answer.
#include <cstring>

#include "protocol/public_key_record.h"
#include "protocol/status_words.h"
#include "reader/log.h"
#include "rsa/key_generation.h"
#include "tarnwick.h"

namespace {

// The answer is a public-key record in the card's own form.
constexpr std::size_t kLengthOffset = tarnwick::record::kModulusOffset - 1;
constexpr std::size_t kModulusOffset = tarnwick::record::kModulusOffset;
constexpr uint8_t kModulusLength = tarnwick::record::kCardModulusBytes;
// GBK: "generating the key pair, length error".
constexpr char kLengthErrorText[] =
    "\xC9\xFA\xB3\xC9\xB9\xAB\xCB\xBD\xD4\xBF\xB6\xD4\xB3\xA4\xB6\xC8\xB4\xED";

// The log code says what was wrong: a length byte other than 0x80, or else
// how few bytes the card sent.
bool CheckAndLogModulusAnswer(const tarnwick::Response<500>& answer) {
  const uint8_t length_byte = answer.data[kLengthOffset];
  if (length_byte != kModulusLength) {
    tarnwick::log::Write(kLengthErrorText, length_byte);
    return false;
  }
  if (answer.length < kModulusOffset + kModulusLength) {
    tarnwick::log::Write(kLengthErrorText, answer.length);
    return false;
  }
  return true;
}

}  // namespace

extern "C" TW_API int32_t RsaGenerateKeyPair(int32_t /*unused*/, uint8_t keyid, uint8_t* modulus,
                                             uint32_t* mod_len, tw_handle_t reader) {
  using namespace tarnwick;
  Response<500> answer;
  const int32_t status = rsa::GenerateAndFetch(reader, rsa::GenerationFrame(keyid), answer);
  if (status != sw::kSuccess) return status;
  if (!CheckAndLogModulusAnswer(answer)) return sw::kMalformedKeyPair;
  std::memcpy(modulus, answer.data.data() + kModulusOffset, kModulusLength);
  *mod_len = kModulusLength;
  return status;
}
