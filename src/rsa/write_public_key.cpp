// WritePublicKey: stores a public-key record at the start of a transparent
// file on the card, where the card's public-key operations find it.
#include "filesystem/files.h"
#include "protocol/public_key_record.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

extern "C" TW_API int32_t WritePublicKey(uint8_t fid, const uint8_t* modulus, uint8_t exp_len,
                                         tw_handle_t reader) {
  namespace record = tarnwick::record;
  // Only the three exponent bytes exist; a larger length byte would describe
  // bytes the record does not hold.
  if (exp_len > record::kExponent.size()) return tarnwick::sw::kWrongLength;
  std::array<uint8_t, record::kCardRecordBytes> bytes;
  const std::size_t length =
      record::Write(bytes, std::span<const uint8_t>(modulus, record::kCardModulusBytes), exp_len);
  const int32_t status = tarnwick::files::Select(reader, 0x00, fid);
  if (status != tarnwick::sw::kSuccess) return status;
  return tarnwick::files::Update(reader, static_cast<uint32_t>(length), bytes.data());
}
