// One export as the harness calls it: arguments drawn from the input within
// what the export's contract allows a caller, the most command exchanges
// those arguments may take, and the checks of what came back.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_source.h"

namespace twfuzz {

struct Call {
  ByteSource& in;   // the arguments, then the card's answers
  uint32_t reader;  // the handle every card operation gets

  // The export may need up to `exchanges` command exchanges for these
  // arguments, each up to four driver calls; nothing else reaches the driver.
  void Expect(uint64_t exchanges) const;
};

struct ExportCase {
  const char* name;
  void (*run)(Call&);
};

// Each family's exports, in the header's order.
void AddReaderExports(std::vector<ExportCase>& cases);
void AddFileExports(std::vector<ExportCase>& cases);
void AddSecurityExports(std::vector<ExportCase>& cases);
void AddRsaExports(std::vector<ExportCase>& cases);
void AddCipherExports(std::vector<ExportCase>& cases);

// Argument helpers.
inline uint64_t Pieces(uint64_t n, uint64_t piece) { return (n + piece - 1) / piece; }
// len rounded up to whole blocks; nothing for 0 or less.
inline uint32_t RoundedUp(int32_t len, uint32_t block) {
  return len <= 0 ? 0 : static_cast<uint32_t>(Pieces(static_cast<uint64_t>(len), block) * block);
}
// A signed length from -32768 to 32767: zero and negative ones included.
inline int32_t SignedLength(ByteSource& in) { return static_cast<int16_t>(in.U16()); }

}  // namespace twfuzz
