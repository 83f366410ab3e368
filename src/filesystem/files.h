// Selecting a file and writing a transparent file from offset 0, as the
// exports that store a key in a file use them.
#pragma once

#include <cstdint>

namespace tarnwick::files {

// SELECT FILE 00 <fid> with P1 as given; the card's status word.
int32_t Select(uint32_t reader, uint8_t p1, uint8_t fid);

// UPDATE BINARY of n bytes from offset 0, in pieces; 0x9000 or the status
// word of the first piece that failed.
int32_t Update(uint32_t reader, uint32_t n, const uint8_t* in);

}  // namespace tarnwick::files
