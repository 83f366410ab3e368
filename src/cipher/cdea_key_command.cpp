// The card's CDEA key command and the two exports that chain it with the
// cipher command, which runs under the key state it sets up.
#include <cstdint>

#include "cipher/cdea.h"
#include "protocol/status_words.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace tarnwick::cipher {
namespace {

// P1 by mode: 0x20 takes no P2, 0x60 takes the caller's P2.
constexpr uint8_t kP1Mode0 = 0x20;
constexpr uint8_t kP1Mode1 = 0x60;
// The outgoing key command always carries one 16-byte block.
constexpr uint8_t kOutKeyLength = 16;

}  // namespace

// Data longer than 250 bytes would make the command longer than the one-byte
// command length can carry; the exchange refuses it with 0x6700 unsent.
int32_t CdeaKeyCommand(uint32_t reader, int32_t mode, const uint8_t* data, int32_t len, uint8_t* rsp,
                       uint8_t* rsp_len, int32_t p2) {
  const auto selected = static_cast<uint8_t>(mode);
  if (selected > 1) return -1;
  CommandFrame frame(ins::kCdeaKeyCommand, selected == 0 ? kP1Mode0 : kP1Mode1,
                     selected == 0 ? 0x00 : static_cast<uint8_t>(p2));
  frame.SetData(data, static_cast<uint8_t>(len));
  return ExchangeCommand(reader, frame, rsp_len, rsp);
}

namespace {

// The key command's answer is not passed on.
int32_t OutKeyCommand(uint32_t reader, int32_t mode, const uint8_t* data) {
  Response<> discarded;
  return CdeaKeyCommand(reader, mode, data, kOutKeyLength, discarded.data.data(), &discarded.length, 0);
}

}  // namespace
}  // namespace tarnwick::cipher

using tarnwick::cipher::LastBlock;

extern "C" TW_API int32_t Cdea_GenMK(tw_handle_t reader, int32_t mode, const uint8_t* data,
                                     int32_t len, uint8_t* rsp, uint8_t* rsp_len, int32_t p2) {
  return tarnwick::cipher::CdeaKeyCommand(reader, mode, data, len, rsp, rsp_len, p2);
}

extern "C" TW_API int32_t Cdea_InMK(tw_handle_t reader, const uint8_t* data, int32_t len,
                                    int32_t mode, const uint8_t* in, int32_t in_len, uint8_t* rsp,
                                    uint8_t* rsp_len, uint8_t* out, int32_t* count, int32_t p2) {
  using namespace tarnwick;
  // The key command sends P2 = 0 in mode 0 whatever p2 holds.
  const int32_t status = cipher::CdeaKeyCommand(reader, mode, data, len, rsp, rsp_len, p2);
  if (status != sw::kSuccess) return status;
  return cipher::RunCdeaBlocks(reader, ins::kCdeaCommand, LastBlock::kZeroFilled, in, in_len, out, count);
}

extern "C" TW_API int32_t Cdea_OutMK(tw_handle_t reader, const uint8_t* data, int32_t mode,
                                     const uint8_t* in, int32_t len, uint8_t* out,
                                     int32_t* count) {
  using namespace tarnwick;
  const int32_t status = cipher::OutKeyCommand(reader, mode, data);
  if (status != sw::kSuccess) return status;
  return cipher::RunCdeaBlocks(reader, ins::kCdeaCommand, LastBlock::kZeroFilled, in, len, out, count);
}
