// GetChallenge: random bytes from the card by GET CHALLENGE, fetched in
// pieces of at most 16 bytes, the most the card hands out per command.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "transport/exchange.h"
#include "reader/status.h"
#include "tarnwick.h"

namespace {

constexpr uint8_t kInsGetChallenge = 0x84;
constexpr uint32_t kPiece = 16;

}  // namespace

extern "C" TW_API int32_t GetChallenge(uint8_t* out, uint32_t n, tw_handle_t reader) {
  tarnwick::CommandFrame frame(0x00, kInsGetChallenge, 0x00, 0x00);
  // n = 0 still sends one command, with Le 00, and copies nothing.
  uint32_t done = 0;
  do {
    const auto piece = static_cast<uint8_t>(std::min(n - done, kPiece));
    frame.SetP3(piece);
    // Cleared before each piece: a card that answers short leaves zeros in
    // the bytes copied past its answer.
    tarnwick::Response<> response;
    const int32_t status = tarnwick::Exchange(reader, frame, response);
    if (status != tarnwick::sw::kSuccess) return status;
    if (piece != 0) std::memcpy(out + done, response.data.data(), piece);
    done += piece;
  } while (done < n);
  return tarnwick::sw::kSuccess;
}
