// OfflineRsaGenerateKeyPair: has the card generate a key pair kept in no key
// slot and collects the answers of the five commands that read it out.
#include <cstring>

#include "protocol/status_words.h"
#include "rsa/key_generation.h"
#include "tarnwick.h"

namespace {

// P2 0x00: the pair goes to no key slot.
constexpr uint8_t kNoKeySlot = 0x00;
constexpr int kCollectedAnswers = 5;
// The caller's buffer is documented to hold five answers of 200 bytes.
constexpr uint32_t kRoom = 1000;

// A failed answer, or one that would overrun the caller's room, is dropped;
// the following ones are still collected.
void Collect(const tarnwick::Response<>& answer, uint8_t* out, uint32_t* out_len) {
  if (answer.length > kRoom - *out_len) return;
  std::memcpy(out + *out_len, answer.data.data(), answer.length);
  *out_len += answer.length;
}

}  // namespace

extern "C" TW_API int32_t OfflineRsaGenerateKeyPair(int32_t /*unused*/, uint8_t* out,
                                                    uint32_t* out_len, tw_handle_t reader) {
  using namespace tarnwick;
  *out_len = 0;
  const CommandFrame generation = rsa::GenerationFrame(kNoKeySlot);
  Response<> answer;
  int32_t status = rsa::GenerateAndFetch(reader, generation, answer);
  if (status != sw::kSuccess) return status;
  // This answer is not handed on; the five after it are.
  status = Exchange(reader, generation, answer);
  if (status != sw::kSuccess) return status;
  for (int i = 0; i < kCollectedAnswers; ++i) {
    status = Exchange(reader, generation, answer);
    if (status == sw::kSuccess) Collect(answer, out, out_len);
  }
  return status;
}
