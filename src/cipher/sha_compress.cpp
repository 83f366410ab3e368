// Card-computed SHA-1: the message goes to the card in one command or in a
// chain of 64-byte pieces, and the last answer carries the 20-byte digest.
#include <cstdint>
#include <cstring>

#include "protocol/status_words.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace {

using tarnwick::CommandFrame;

constexpr int32_t kSingleCommandLimit = 138;
constexpr int32_t kPieceSize = 64;
// The total length travels in 15 bits: P1 bits 0-6 and P2.
constexpr int32_t kLongestMessage = 0x7FFF;
// P1 of the first piece, of a middle piece, and the mark of a continuing
// piece that the last one ORs with the high length bits. P2 0xFF stands for
// "length follows later".
constexpr uint8_t kP1First = 0x3F;
constexpr uint8_t kP1Middle = 0xBF;
constexpr uint8_t kP1Continues = 0x80;
constexpr uint8_t kP2LengthLater = 0xFF;
constexpr std::size_t kDigestSize = 20;

int32_t SendPiece(tw_handle_t reader, uint8_t p1, uint8_t p2, const uint8_t* piece, int32_t n,
                  tarnwick::Response<>& response) {
  CommandFrame frame(tarnwick::ins::kHashSha1, p1, p2);
  frame.SetData(piece, static_cast<uint8_t>(n));
  return tarnwick::Exchange(reader, frame, response);
}

// Whole 64-byte pieces until 1 to 64 bytes remain, then the last piece with
// the total length; the last piece may be a full 64 bytes.
int32_t SendChain(tw_handle_t reader, const uint8_t* msg, int32_t len,
                  tarnwick::Response<>& response) {
  int32_t status = SendPiece(reader, kP1First, kP2LengthLater, msg, kPieceSize, response);
  int32_t offset = kPieceSize;
  while (status == tarnwick::sw::kSuccess && len - offset > kPieceSize) {
    status = SendPiece(reader, kP1Middle, kP2LengthLater, msg + offset, kPieceSize, response);
    offset += kPieceSize;
  }
  if (status != tarnwick::sw::kSuccess) return status;
  const auto p1 = static_cast<uint8_t>(kP1Continues | (len >> 8));
  const auto p2 = static_cast<uint8_t>(len);
  return SendPiece(reader, p1, p2, msg + offset, len - offset, response);
}

}  // namespace

extern "C" TW_API int32_t SHA_Compress(tw_handle_t reader, const uint8_t* msg, int32_t len,
                                       uint8_t* digest) {
  // Bit 15 of a longer length would land on the continuation mark in P1.
  if (len < 0 || len > kLongestMessage) return tarnwick::sw::kWrongLength;
  tarnwick::Response<> response;
  const int32_t status =
      len <= kSingleCommandLimit
          ? SendPiece(reader, 0x00, static_cast<uint8_t>(len), msg, len, response)
          : SendChain(reader, msg, len, response);
  if (status == tarnwick::sw::kSuccess) std::memcpy(digest, response.data.data(), kDigestSize);
  return status;
}
