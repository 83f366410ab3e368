// External authentication: the card's 8-byte challenge encrypted under a key
// it also holds and returned by EXTERNAL AUTHENTICATE, either with host
// triple-DES (ExternAuth) or with single DES computed by the card (ExtAuth).
#include <cstdint>

#include "cipher/card_des.h"
#include "host/des_ecb_buffer.h"
#include "protocol/status_words.h"
#include "security/challenge.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace {

constexpr uint8_t kChallengeSize = 8;

// 2, the host encryption failed, no longer occurs: the triple-DES pass
// cannot fail.
enum ExternAuthResult : int32_t {
  kAccepted = 0,
  kNoChallenge = 1,
  kRefused = 3,
};

// 00 82 00 keyid 08 and the cryptogram; the card checks it against key keyid.
int32_t SendExternalAuthenticate(uint8_t keyid, const uint8_t* cryptogram, tw_handle_t reader) {
  tarnwick::CommandFrame frame(tarnwick::ins::kExternalAuthenticate, 0x00, keyid);
  frame.SetData(cryptogram, kChallengeSize);
  return tarnwick::Send(reader, frame);
}

}  // namespace

extern "C" TW_API int32_t ExternAuth(tw_handle_t reader, const uint8_t* key, uint8_t keyid) {
  using namespace tarnwick;
  uint8_t challenge[kChallengeSize];
  uint8_t cryptogram[kChallengeSize];
  if (security::FetchChallenge(reader, challenge, kChallengeSize) != sw::kSuccess) return kNoChallenge;
  TriDesEcbBuffer(key, challenge, cryptogram, kChallengeSize);
  const int32_t status = SendExternalAuthenticate(keyid, cryptogram, reader);
  return status == sw::kSuccess ? kAccepted : kRefused;
}

extern "C" TW_API int32_t ExtAuth(uint8_t keyid, const uint8_t* key, tw_handle_t reader) {
  using namespace tarnwick;
  uint8_t challenge[kChallengeSize];
  uint8_t cryptogram[kChallengeSize];
  int32_t status = security::FetchChallenge(reader, challenge, kChallengeSize);
  if (status != sw::kSuccess) return status;
  status = cipher::CardDes(reader, cipher::kEncrypt, key, challenge, cryptogram);
  if (status != sw::kSuccess) return status;
  return SendExternalAuthenticate(keyid, cryptogram, reader);
}
