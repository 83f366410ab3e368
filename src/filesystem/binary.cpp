// READ BINARY and UPDATE BINARY of the current transparent file from offset
// 0, in pieces of 128 bytes and a last short piece.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filesystem/files.h"
#include "protocol/status_words.h"
#include "transport/exchange.h"
#include "tarnwick.h"

namespace {

constexpr uint32_t kPieceSize = 0x80;
// The piece offset travels in P1 P2. From 0x8000 on, bit 7 of P1 would be
// set, which the card reads as a short file identifier: the piece would go
// to another file. Transfers therefore end at 0x8000.
constexpr uint32_t kMaxTransfer = 0x8000;

// Moves n bytes piece by piece: each piece's data comes from `source` when
// writing, each answered piece lands in `sink` when reading. Ends at the
// first piece the card does not answer 0x9000; earlier pieces stay done.
int32_t TransferInPieces(const tarnwick::protocol::Instruction& instruction, uint32_t n, const uint8_t* source, uint8_t* sink,
                         tw_handle_t reader) {
  if (n > kMaxTransfer) return tarnwick::sw::kWrongLength;
  tarnwick::CommandFrame frame(instruction, 0x00, 0x00);
  for (uint32_t offset = 0; offset < n; offset += kPieceSize) {
    const auto size = static_cast<uint8_t>(std::min(kPieceSize, n - offset));
    frame.SetP1(static_cast<uint8_t>(offset >> 8));
    frame.SetP2(static_cast<uint8_t>(offset));
    if (source != nullptr) {
      frame.SetData(source + offset, size);
    } else {
      frame.SetP3(size);
    }
    tarnwick::Response<> response;
    const int32_t status = tarnwick::Exchange(reader, frame, response);
    if (status != tarnwick::sw::kSuccess) return status;
    if (sink != nullptr) std::memcpy(sink + offset, response.data.data(), size);
  }
  return tarnwick::sw::kSuccess;
}

}  // namespace

int32_t tarnwick::files::Update(uint32_t reader, uint32_t n, const uint8_t* in) {
  return TransferInPieces(tarnwick::ins::kUpdateBinary, n, in, nullptr, reader);
}

extern "C" TW_API int32_t ReadBin(uint32_t n, uint8_t* out, tw_handle_t reader) {
  return TransferInPieces(tarnwick::ins::kReadBinary, n, nullptr, out, reader);
}

extern "C" TW_API int32_t UpdateBin(uint32_t n, const uint8_t* in, tw_handle_t reader) {
  return tarnwick::files::Update(reader, n, in);
}
