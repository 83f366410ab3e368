// External authentication: the card's 8-byte challenge encrypted under a key
// it also holds and returned by EXTERNAL AUTHENTICATE, either with host
// triple-DES (ExternAuth) or with single DES computed by the card (ExtAuth).
#include <cstdint>

#include "transport/exchange.h"
#include "reader/status.h"
#include "tarnwick.h"

namespace {

constexpr uint8_t kInsExternalAuthenticate = 0x82;
constexpr uint8_t kChallengeSize = 8;

enum ExternAuthResult : int32_t {
  kAccepted = 0,
  kNoChallenge = 1,
  kHostCipherFailed = 2,
  kRefused = 3,
};

// 00 82 00 keyid 08 and the cryptogram; the card checks it against key keyid.
int32_t SendExternalAuthenticate(uint8_t keyid, const uint8_t* cryptogram, tw_handle_t reader) {
  tarnwick::CommandFrame frame(0x00, kInsExternalAuthenticate, 0x00, keyid);
  frame.SetData(cryptogram, kChallengeSize);
  return tarnwick::Send(reader, frame);
}

}  // namespace

extern "C" TW_API int32_t ExternAuth(tw_handle_t reader, const uint8_t* key, uint8_t keyid) {
  uint8_t challenge[kChallengeSize];
  uint8_t cryptogram[kChallengeSize];
  if (GetChallenge(challenge, kChallengeSize, reader) != tarnwick::sw::kSuccess) {
    return kNoChallenge;
  }
  if (TriDesEncrypt(key, challenge, cryptogram, kChallengeSize) != 0) return kHostCipherFailed;
  const int32_t status = SendExternalAuthenticate(keyid, cryptogram, reader);
  return status == tarnwick::sw::kSuccess ? kAccepted : kRefused;
}

extern "C" TW_API int32_t ExtAuth(uint8_t keyid, const uint8_t* key, tw_handle_t reader) {
  uint8_t challenge[kChallengeSize];
  uint8_t cryptogram[kChallengeSize];
  int32_t status = GetChallenge(challenge, kChallengeSize, reader);
  if (status != tarnwick::sw::kSuccess) return status;
  status = DesEncrypt(key, challenge, cryptogram, reader);
  if (status != tarnwick::sw::kSuccess) return status;
  return SendExternalAuthenticate(keyid, cryptogram, reader);
}
