// SELECT FILE by file identifier, with the file control parameters (FCP
// template) as the answer when the host asks for one.
#include <optional>

#include "file_system.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

// P2 0x00 and 0x04 ask for the FCP template, 0x0C for no answer data.
constexpr uint8_t kReturnFci = 0x00;
constexpr uint8_t kReturnFcp = 0x04;
constexpr uint8_t kNoResponse = 0x0C;

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }

uint8_t High(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint8_t Low(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }

std::vector<uint8_t> Fcp(const File& file) {
  std::vector<uint8_t> body;
  switch (file.type) {
    case FileType::kDirectory:
      Append(body, {0x82, 0x01, 0x38});
      break;
    case FileType::kTransparent:
      Append(body, {0x82, 0x01, 0x01});
      break;
    case FileType::kLinearVariable:
      // Descriptor byte, data coding byte, maximum record size, record count.
      Append(body, {0x82, 0x05, 0x04, 0x00, 0x00, file.max_record_length,
                    static_cast<uint8_t>(file.records.size())});
      break;
  }
  Append(body, {0x83, 0x02, High(file.fid), Low(file.fid)});
  if (file.type == FileType::kTransparent) {
    const auto size = static_cast<uint16_t>(file.body.size());
    Append(body, {0x80, 0x02, High(size), Low(size)});
  }
  if (file.sfi != 0) Append(body, {0x88, 0x01, file.sfi});
  std::vector<uint8_t> fcp = {0x62, static_cast<uint8_t>(body.size())};
  fcp.insert(fcp.end(), body.begin(), body.end());
  return fcp;
}

std::optional<uint16_t> Identifier(std::span<const uint8_t> data) {
  if (data.size() != 2) return std::nullopt;
  return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

Found<File*> Existing(File* file) {
  if (file == nullptr) return {nullptr, sw::kFileNotFound};
  return {file};
}

// The file P1 and the data name; P1 0x00 searches the whole card
// (identifiers are unique on it), 0x01 and 0x02 only the current DF.
Found<File*> Target(CardState& state, const Command& c) {
  Persistent& card = state.card;
  const File& df = CurrentDf(state);
  std::optional<uint16_t> fid = Identifier(c.data);
  switch (c.p1) {
    case 0x00:
      if (c.data.empty()) return {&card.files.front()};
      if (!fid) return {nullptr, sw::kWrongLength};
      return Existing(FindFile(card, *fid));
    case 0x01:
    case 0x02: {
      if (!fid) return {nullptr, sw::kWrongLength};
      File* file = FindFile(card, *fid);
      const bool wants_df = c.p1 == 0x01;
      if (file == nullptr || file->parent != df.fid || IsEf(*file) == wants_df) return {nullptr, sw::kFileNotFound};
      return {file};
    }
    case 0x03:
      if (!c.data.empty()) return {nullptr, sw::kWrongLength};
      return Existing(FindFile(card, df.parent));
    default:
      return {nullptr, sw::kWrongP1P2};
  }
}

}  // namespace

Answer SelectFile(CardState& state, const Command& c) {
  if (c.p2 != kReturnFci && c.p2 != kReturnFcp && c.p2 != kNoResponse) return Status(sw::kWrongP1P2);
  const Found<File*> target = Target(state, c);
  if (!target.ok()) return Status(target.sw);
  File* const file = target.value;
  state.transient.current = file->fid;
  const std::optional<std::size_t> ne = c.Ne();
  if (c.p2 == kNoResponse || !ne) return Status(sw::kSuccess);
  std::vector<uint8_t> fcp = Fcp(*file);
  if (fcp.size() > *ne) fcp.resize(*ne);
  return Data(std::move(fcp));
}

}  // namespace tarnwick::vcard
