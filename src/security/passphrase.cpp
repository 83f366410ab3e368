// Passphrase commands: VERIFY, change and unblock. Each sends one command
// and hands back the card's status word as it stands (0x63Cx wrong with x
// tries left, 0x6983 blocked, ...).
#include <cstdint>
#include <cstring>

#include "transport/exchange.h"
#include "tarnwick.h"

namespace {

// Change and unblock always carry two full 8-byte values.
constexpr uint8_t kValueSize = 8;

// 80 ins 00 ref 10, then the first and the second value: current and new
// passphrase for a change, unblocking code and new passphrase for an unblock.
int32_t SendValuePair(const tarnwick::protocol::Instruction& instruction, uint8_t ref,
                      const uint8_t* first, const uint8_t* second, tw_handle_t reader) {
  uint8_t data[2 * kValueSize];
  std::memcpy(data, first, kValueSize);
  std::memcpy(data + kValueSize, second, kValueSize);
  tarnwick::CommandFrame frame(instruction, 0x00, ref);
  frame.SetData(data, sizeof data);
  return tarnwick::Send(reader, frame);
}

}  // namespace

extern "C" TW_API int32_t VerifyPassphrase(const uint8_t* pass, uint8_t len, uint8_t ref,
                                           tw_handle_t reader) {
  tarnwick::CommandFrame frame(tarnwick::ins::kVerify, 0x00, ref);
  frame.SetData(pass, len);
  return tarnwick::Send(reader, frame);
}

extern "C" TW_API int32_t SetPassphrase(tw_handle_t reader, const uint8_t* old_pass, uint8_t ref,
                                        const uint8_t* new_pass) {
  return SendValuePair(tarnwick::ins::kChangePassphrase, ref, old_pass, new_pass, reader);
}

extern "C" TW_API int32_t KeyUnblock(uint8_t ref, const uint8_t* unblock_code,
                                     const uint8_t* new_pass, tw_handle_t reader) {
  return SendValuePair(tarnwick::ins::kUnblockPassphrase, ref, unblock_code, new_pass, reader);
}
