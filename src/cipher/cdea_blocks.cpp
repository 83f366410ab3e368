// The card's 16-byte block cipher over a caller's buffer: the key load and
// the one block loop behind encryption, decryption and the cipher command.
#include <cstdint>
#include <cstring>

#include "transport/exchange.h"
#include "transport/frame.h"
#include "reader/status.h"
#include "tarnwick.h"

namespace {

using tarnwick::CommandFrame;

constexpr uint8_t kCla = 0x80;
constexpr uint8_t kInsLoadKey = 0xF4;
constexpr uint8_t kInsEncrypt = 0xF0;
constexpr uint8_t kInsDecrypt = 0xF2;
constexpr uint8_t kInsCipherCommand = 0xFA;
constexpr uint8_t kBlockSize = 16;

// Encryption and the cipher command pad a short last block with zeros;
// decryption always sends the 16 bytes that lie at the offset.
enum class LastBlock { kZeroFilled, kAsItLies };

// Sends one command per 16-byte block and copies each answer to the same
// offset of the output. The count always says how many output bytes are
// valid, also when a block fails part-way.
int32_t RunBlocks(tw_handle_t reader, uint8_t ins, LastBlock last, const uint8_t* in,
                  int32_t len, uint8_t* out, int32_t* count) {
  *count = 0;
  int32_t status = tarnwick::sw::kSuccess;
  for (int64_t offset = 0; offset < len; offset += kBlockSize) {
    // The caller's input is never written: a short block is padded here.
    uint8_t block[kBlockSize] = {};
    const int64_t left = len - offset;
    const bool pad = last == LastBlock::kZeroFilled && left < kBlockSize;
    std::memcpy(block, in + offset, pad ? static_cast<std::size_t>(left) : kBlockSize);

    CommandFrame frame(kCla, ins, 0x00, 0x00);
    frame.SetData(block, kBlockSize);
    tarnwick::Response<> response;
    status = tarnwick::Exchange(reader, frame, response);
    if (status != tarnwick::sw::kSuccess) return status;
    std::memcpy(out + offset, response.data.data(), kBlockSize);
    *count += kBlockSize;
  }
  return status;
}

// The key load's own status word is not examined: a card that did not take
// the key refuses the cipher commands that follow. With nothing to cipher,
// the key load's status word is the result.
int32_t LoadKeyThenRunBlocks(tw_handle_t reader, const uint8_t* key, uint8_t ins,
                             LastBlock last, const uint8_t* in, int32_t len, uint8_t* out,
                             int32_t* count) {
  const int32_t key_status = Cdea_Genkey(reader, key);
  *count = 0;
  if (len <= 0) return key_status;
  return RunBlocks(reader, ins, last, in, len, out, count);
}

}  // namespace

extern "C" TW_API int32_t Cdea_Genkey(tw_handle_t reader, const uint8_t* key) {
  CommandFrame frame(kCla, kInsLoadKey, 0x00, 0x00);
  frame.SetData(key, kBlockSize);
  return tarnwick::Send(reader, frame);
}

extern "C" TW_API int32_t Cdea_Encrypt(tw_handle_t reader, const uint8_t* key, const uint8_t* in,
                                       int32_t len, uint8_t* out, int32_t* count) {
  return LoadKeyThenRunBlocks(reader, key, kInsEncrypt, LastBlock::kZeroFilled, in, len, out,
                              count);
}

extern "C" TW_API int32_t Cdea_Decrypt(tw_handle_t reader, const uint8_t* key, const uint8_t* in,
                                       int32_t len, uint8_t* out, int32_t* count) {
  return LoadKeyThenRunBlocks(reader, key, kInsDecrypt, LastBlock::kAsItLies, in, len, out,
                              count);
}

extern "C" TW_API int32_t Cdea_Command(tw_handle_t reader, const uint8_t* in, int32_t len,
                                       uint8_t* out, int32_t* count) {
  return RunBlocks(reader, kInsCipherCommand, LastBlock::kZeroFilled, in, len, out, count);
}
