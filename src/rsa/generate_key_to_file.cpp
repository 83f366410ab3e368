// MyRsaGeneratekey: has the card generate a key pair in a key slot and stores
// the card's whole answer at the start of a transparent file.
#include "filesystem/files.h"
#include "protocol/status_words.h"
#include "rsa/key_generation.h"
#include "tarnwick.h"

extern "C" TW_API int32_t MyRsaGeneratekey(int32_t /*unused*/, uint8_t fid, uint8_t keyid,
                                           tw_handle_t reader) {
  using namespace tarnwick;
  Response<> answer;
  int32_t status = rsa::GenerateAndFetch(reader, rsa::GenerationFrame(keyid), answer);
  if (status != sw::kSuccess) return status;
  status = files::Select(reader, 0x00, fid);
  if (status != sw::kSuccess) return status;
  return files::Update(reader, answer.length, answer.data.data());
}
