// The card's CDEA cipher over a caller's buffer: the key load and the one
// block loop behind encryption, decryption and the cipher command.
#include <cstdint>
#include <cstring>

#include "cipher/cdea.h"
#include "protocol/status_words.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace tarnwick::cipher {
namespace {

constexpr uint8_t kBlockSize = 16;

// The key load's own status word is not examined: a card that did not take
// the key refuses the cipher commands that follow. With nothing to cipher,
// the key load's status word is the result.
int32_t LoadKeyThenRunBlocks(uint32_t reader, const uint8_t* key, const protocol::Instruction& instruction,
                             LastBlock last, const uint8_t* in, int32_t len, uint8_t* out, int32_t* count) {
  const int32_t key_status = LoadCdeaKey(reader, key);
  *count = 0;
  if (len <= 0) return key_status;
  return RunCdeaBlocks(reader, instruction, last, in, len, out, count);
}

}  // namespace

int32_t LoadCdeaKey(uint32_t reader, const uint8_t* key) {
  CommandFrame frame(ins::kCdeaLoadKey, 0x00, 0x00);
  frame.SetData(key, kBlockSize);
  return Send(reader, frame);
}

int32_t RunCdeaBlocks(uint32_t reader, const protocol::Instruction& instruction, LastBlock last,
                      const uint8_t* in, int32_t len, uint8_t* out, int32_t* count) {
  *count = 0;
  int32_t status = sw::kSuccess;
  for (int64_t offset = 0; offset < len; offset += kBlockSize) {
    // The caller's input is never written: a short block is padded here.
    uint8_t block[kBlockSize] = {};
    const int64_t left = len - offset;
    const bool pad = last == LastBlock::kZeroFilled && left < kBlockSize;
    std::memcpy(block, in + offset, pad ? static_cast<std::size_t>(left) : kBlockSize);

    CommandFrame frame(instruction, 0x00, 0x00);
    frame.SetData(block, kBlockSize);
    Response<> response;
    status = Exchange(reader, frame, response);
    if (status != sw::kSuccess) return status;
    std::memcpy(out + offset, response.data.data(), kBlockSize);
    *count += kBlockSize;
  }
  return status;
}

}  // namespace tarnwick::cipher

using tarnwick::cipher::LastBlock;
namespace ins = tarnwick::ins;

extern "C" TW_API int32_t Cdea_Genkey(tw_handle_t reader, const uint8_t* key) {
  return tarnwick::cipher::LoadCdeaKey(reader, key);
}

extern "C" TW_API int32_t Cdea_Encrypt(tw_handle_t reader, const uint8_t* key, const uint8_t* in,
                                       int32_t len, uint8_t* out, int32_t* count) {
  return tarnwick::cipher::LoadKeyThenRunBlocks(reader, key, ins::kCdeaEncrypt, LastBlock::kZeroFilled, in,
                                                len, out, count);
}

extern "C" TW_API int32_t Cdea_Decrypt(tw_handle_t reader, const uint8_t* key, const uint8_t* in,
                                       int32_t len, uint8_t* out, int32_t* count) {
  return tarnwick::cipher::LoadKeyThenRunBlocks(reader, key, ins::kCdeaDecrypt, LastBlock::kAsItLies, in, len,
                                                out, count);
}

extern "C" TW_API int32_t Cdea_Command(tw_handle_t reader, const uint8_t* in, int32_t len,
                                       uint8_t* out, int32_t* count) {
  return tarnwick::cipher::RunCdeaBlocks(reader, ins::kCdeaCommand, LastBlock::kZeroFilled, in, len, out,
                                         count);
}
