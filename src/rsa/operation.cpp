// RunOperation: the single path of every RSA operation frame, whichever key
// the card uses and whatever it computes.
#include "rsa/operation.h"

#include <cstring>

#include "transport/exchange.h"
#include "protocol/status_words.h"

namespace tarnwick::rsa {

int32_t RunOperation(uint32_t handle, const protocol::Instruction& operation, uint8_t key_id, const uint8_t* data,
                     uint8_t len, uint8_t* out, uint32_t* out_len) {
  CommandFrame frame(operation, 0x00, key_id);
  frame.SetData(data, len);
  Response<> answer;
  const int32_t status = Exchange(handle, frame, answer);
  if (status != sw::kSuccess) return status;
  if (answer.length != 0) std::memcpy(out, answer.data.data(), answer.length);
  *out_len = answer.length;
  return status;
}

}  // namespace tarnwick::rsa
