// Card file system exports under the replay driver.
#include <vector>

#include "common/buffers.h"
#include "common/check.h"
#include "exports/export_case.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

constexpr uint32_t kLongestTransfer = 32768;
constexpr uint8_t kLongestData = 250;
using tarnwick::sw::kSuccess;
using tarnwick::sw::kWrongLength;
// Erase, a second erase after a driver failure, 1000 polls, the last erase.
constexpr uint64_t kEraseExchanges = 1003;

// Up to 32768 bytes, or (top bit set) a length above it, which the library
// refuses before sending anything.
uint32_t TransferLength(ByteSource& in) {
  const uint32_t v = in.U32();
  return (v & 0x80000000u) ? v : v % (kLongestTransfer + 1);
}

void ExpectTransfer(Call& c, uint32_t n) { c.Expect(n > kLongestTransfer ? 0 : Pieces(n, 128)); }

void CheckTransferResult(uint32_t n, int32_t result) {
  if (n == 0) Check(result == kSuccess, "an empty transfer did not succeed");
  if (n > kLongestTransfer) Check(result == kWrongLength, "an over-long transfer was not refused");
}

void RunSelectFile(Call& c) {
  const uint8_t p1 = c.in.Byte();
  const auto unused = static_cast<int32_t>(c.in.U32());
  const uint8_t fid = c.in.Byte();
  c.Expect(1);
  SelectFile(p1, unused, fid, c.reader);
}

void RunReadBin(Call& c) {
  const uint32_t n = TransferLength(c.in);
  OutputBytes out(n > kLongestTransfer ? 0 : n);
  ExpectTransfer(c, n);
  CheckTransferResult(n, ReadBin(n, out.get(), c.reader));
}

void RunUpdateBin(Call& c) {
  const uint32_t n = TransferLength(c.in);
  InputBytes in(c.in, n > kLongestTransfer ? 0 : n);
  ExpectTransfer(c, n);
  CheckTransferResult(n, UpdateBin(n, in.get(), c.reader));
}

void ExpectData(Call& c, uint8_t len) { c.Expect(len > kLongestData ? 0 : 1); }

void CheckDataResult(uint8_t len, int32_t result) {
  if (len > kLongestData) Check(result == kWrongLength, "data above 250 bytes was not refused");
}

void RunAppendRecord(Call& c) {
  const uint8_t sfi = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes data(c.in, len);
  ExpectData(c, len);
  CheckDataResult(len, AppendRecord(sfi, len, data.get(), c.reader));
}

void RunReadRecord(Call& c) {
  const uint8_t sfi = c.in.Byte();
  const uint8_t recno = c.in.Byte();
  const uint8_t le = c.in.Byte();
  OutputBytes out(le);
  c.Expect(1);
  if (ReadRecord(sfi, recno, le, out.get(), c.reader) != kSuccess)
    Check(out.Untouched(), "a failed record read wrote the output");
}

void RunWriteRecord(Call& c) {
  const uint8_t sfi = c.in.Byte();
  const uint8_t recno = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes data(c.in, len);
  ExpectData(c, len);
  CheckDataResult(len, WriteRecord(sfi, recno, len, data.get(), c.reader));
}

void RunCreatefile(Call& c) {
  const uint8_t p2 = c.in.Byte();
  const uint8_t lc = c.in.Byte();
  InputBytes desc(c.in, 7);
  c.Expect(1);
  Createfile(p2, lc, desc.get(), c.reader);
}

void RunCreateMFfile(Call& c) {
  const uint8_t b4 = c.in.Byte();
  const uint8_t b5 = c.in.Byte();
  c.Expect(2);  // sent once more after 0x6201 or 0x6FF0
  CreateMFfile(b4, b5, c.reader);
}

void RunEraseDF(Call& c) {
  c.Expect(kEraseExchanges);
  EraseDF(c.reader);
}

}  // namespace

void AddFileExports(std::vector<ExportCase>& cases) {
  cases.insert(cases.end(), {{"SelectFile", RunSelectFile},
                             {"ReadBin", RunReadBin},
                             {"UpdateBin", RunUpdateBin},
                             {"AppendRecord", RunAppendRecord},
                             {"ReadRecord", RunReadRecord},
                             {"WriteRecord", RunWriteRecord},
                             {"Createfile", RunCreatefile},
                             {"CreateMFfile", RunCreateMFfile},
                             {"EraseDF", RunEraseDF}});
}

}  // namespace twfuzz
