// APPEND RECORD, READ RECORD and UPDATE RECORD on a record file named by its
// short file identifier (0: the current file).
#include <cstdint>
#include <cstring>

#include "transport/exchange.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace {

// The low three bits of P2 say how the record is named: 0b100 by the number
// in P1, 0b000 for a new record at the end. The identifier sits above them,
// so only its low five bits reach the card.
constexpr uint8_t kByNumber = 0x04;
constexpr uint8_t kAtEnd = 0x00;

uint8_t RecordP2(uint8_t sfi, uint8_t addressing) {
  return static_cast<uint8_t>(sfi << 3) | addressing;
}

// A command carrying a record's bytes. More than 250 bytes do not fit a
// one-byte command length, so the exchange refuses them with 0x6700.
int32_t SendRecord(const tarnwick::protocol::Instruction& instruction, uint8_t p1, uint8_t p2, uint8_t len, const uint8_t* data,
                   tw_handle_t reader) {
  tarnwick::CommandFrame frame(instruction, p1, p2);
  frame.SetData(data, len);
  return tarnwick::Send(reader, frame);
}

}  // namespace

extern "C" TW_API int32_t AppendRecord(uint8_t sfi, uint8_t len, const uint8_t* data,
                                       tw_handle_t reader) {
  return SendRecord(tarnwick::ins::kAppendRecord, 0x00, RecordP2(sfi, kAtEnd), len, data, reader);
}

extern "C" TW_API int32_t WriteRecord(uint8_t sfi, uint8_t recno, uint8_t len, const uint8_t* data,
                                      tw_handle_t reader) {
  return SendRecord(tarnwick::ins::kUpdateRecord, recno, RecordP2(sfi, kByNumber), len, data, reader);
}

extern "C" TW_API int32_t ReadRecord(uint8_t sfi, uint8_t recno, uint8_t le, uint8_t* out,
                                     tw_handle_t reader) {
  const tarnwick::CommandFrame frame(tarnwick::ins::kReadRecord, recno, RecordP2(sfi, kByNumber), le);
  // The buffer starts cleared, so bytes past a shorter answer are zeros.
  tarnwick::Response<> response;
  const int32_t status = tarnwick::Exchange(reader, frame, response);
  if (status == tarnwick::sw::kSuccess && le != 0) std::memcpy(out, response.data.data(), le);
  return status;
}
