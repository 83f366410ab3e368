// Reading a whole file through the tool's own driver binding, without
// knowing its length: the size from the file's SELECT answer, or the card
// saying where the file ends.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "driver_link.h"

namespace tarnwick::cli {

enum class FileKind { kTransparent, kRecords, kUnknown };

struct FileShape {
  FileKind kind = FileKind::kUnknown;
  std::optional<uint32_t> size;  // a transparent file's, when the card tells it
};

// What a SELECT answer's FCP template (62 L ...) says of the file.
FileShape ShapeFromFcp(std::span<const uint8_t> fcp);

// Bytes from offset 0 to the file's end (or `size`): sw is 0x9000 with every
// byte, or the answer that stopped the reading with the bytes before it.
CardAnswer ReadWholeTransparent(const DriverLink& link, tw_handle_t reader, std::optional<uint32_t> size);

struct Records {
  std::vector<Bytes> records;
  int32_t sw;  // 0x9000 when the card said there are no more
};

// Records 1, 2, ... of the file with this SFI (0: the current file) until
// the card answers that there is no such record.
Records ReadAllRecords(const DriverLink& link, tw_handle_t reader, uint8_t sfi);

}  // namespace tarnwick::cli
