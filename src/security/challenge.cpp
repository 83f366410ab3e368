// GetChallenge: random bytes from the card by GET CHALLENGE, fetched in
// pieces of at most 16 bytes, the most the card hands out per command.
#include "security/challenge.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "protocol/status_words.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace tarnwick::security {
namespace {

constexpr uint32_t kPiece = 16;

}  // namespace

int32_t FetchChallenge(uint32_t reader, uint8_t* out, uint32_t n) {
  CommandFrame frame(ins::kGetChallenge, 0x00, 0x00);
  // n = 0 still sends one command, with Le 00, and copies nothing.
  uint32_t done = 0;
  do {
    const auto piece = static_cast<uint8_t>(std::min(n - done, kPiece));
    frame.SetP3(piece);
    // Cleared before each piece: a card that answers short leaves zeros in
    // the bytes copied past its answer.
    Response<> response;
    const int32_t status = Exchange(reader, frame, response);
    if (status != sw::kSuccess) return status;
    if (piece != 0) std::memcpy(out + done, response.data.data(), piece);
    done += piece;
  } while (done < n);
  return sw::kSuccess;
}

}  // namespace tarnwick::security

extern "C" TW_API int32_t GetChallenge(uint8_t* out, uint32_t n, tw_handle_t reader) {
  return tarnwick::security::FetchChallenge(reader, out, n);
}
