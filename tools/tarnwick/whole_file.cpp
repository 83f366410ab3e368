// READ BINARY and READ RECORD until the file ends.
#include "whole_file.h"

#include <algorithm>

#include "protocol/instructions.h"
#include "protocol/status_words.h"

namespace tarnwick::cli {
namespace {

constexpr uint8_t kFcpTemplate = 0x62;
constexpr uint8_t kSizeTag = 0x80;
constexpr uint8_t kDescriptorTag = 0x82;
constexpr uint8_t kPiece = 128;
// Bit 8 of P1 would make the offset a short file identifier.
constexpr uint32_t kLastOffset = 0x7FFF;
// READ BINARY at an offset past the end of the file.
constexpr int32_t kOffsetBeyondEnd = sw::kWrongParameters;
constexpr int32_t kNoSuchRecord = sw::kRecordNotFound;
constexpr uint8_t kLastRecord = 254;

FileKind KindFromDescriptor(uint8_t descriptor) {
  if ((descriptor & 0x38) == 0x38) return FileKind::kUnknown;  // a directory
  uint8_t structure = descriptor & 0x07;
  if (structure == 0x01) return FileKind::kTransparent;
  return structure == 0x00 ? FileKind::kUnknown : FileKind::kRecords;
}

}  // namespace

FileShape ShapeFromFcp(std::span<const uint8_t> fcp) {
  FileShape shape;
  if (fcp.size() < 2 || fcp[0] != kFcpTemplate) return shape;
  std::span<const uint8_t> body = fcp.subspan(2, std::min<std::size_t>(fcp[1], fcp.size() - 2));
  while (body.size() >= 2 && body[1] <= body.size() - 2) {
    std::span<const uint8_t> value = body.subspan(2, body[1]);
    if (body[0] == kDescriptorTag && !value.empty()) shape.kind = KindFromDescriptor(value[0]);
    if (body[0] == kSizeTag && !value.empty() && value.size() <= 4) {
      uint32_t size = 0;
      for (uint8_t b : value) size = size << 8 | b;
      shape.size = size;
    }
    body = body.subspan(2 + value.size());
  }
  return shape;
}

CardAnswer ReadWholeTransparent(const DriverLink& link, tw_handle_t reader, std::optional<uint32_t> size) {
  CardAnswer whole{{}, sw::kSuccess};
  const uint32_t end = size.value_or(kLastOffset + 1);
  for (uint32_t offset = 0; offset < end && offset <= kLastOffset;) {
    const auto le = static_cast<uint8_t>(std::min<uint32_t>(kPiece, end - offset));
    const uint8_t command[] = {ins::kReadBinary.cla, ins::kReadBinary.ins, static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), le};
    CardAnswer piece = link.Exchange(reader, command);
    whole.data.insert(whole.data.end(), piece.data.begin(), piece.data.end());
    offset += static_cast<uint32_t>(piece.data.size());
    // Without a size from the card, its own signs of the end are the end.
    bool ended = piece.sw == sw::kEndReached || (piece.sw == sw::kSuccess && piece.data.size() < le) ||
                 (piece.sw == kOffsetBeyondEnd && !size && offset > 0);
    if (ended) break;
    if (piece.sw != sw::kSuccess) {
      whole.sw = piece.sw;
      break;
    }
  }
  return whole;
}

Records ReadAllRecords(const DriverLink& link, tw_handle_t reader, uint8_t sfi) {
  Records all{{}, sw::kSuccess};
  for (uint8_t number = 1; number <= kLastRecord; ++number) {
    const uint8_t command[] = {ins::kReadRecord.cla, ins::kReadRecord.ins, number, static_cast<uint8_t>(sfi << 3 | 0x04), 0x00};
    CardAnswer record = link.Exchange(reader, command);
    if (record.sw == kNoSuchRecord) break;
    if (record.sw != sw::kSuccess && record.sw != sw::kEndReached) {
      all.sw = record.sw;
      break;
    }
    all.records.push_back(std::move(record.data));
  }
  return all;
}

}  // namespace tarnwick::cli
