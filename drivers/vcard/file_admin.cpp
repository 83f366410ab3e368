// Creating files from their 7-byte description, re-creating the master
// file from its 13-byte description, and erasing the current DF.
#include <optional>

#include "access.h"
#include "file_system.h"
#include "handlers.h"
#include "long_operation.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kDescriptionLength = 7;
constexpr std::size_t kMasterDescriptionLength = 13;

// The 7-byte description (docs/virtual-card.md): type, two size bytes, two
// access conditions, SFI, one byte reserved.
std::optional<File> FromDescription(std::span<const uint8_t> d) {
  File file;
  file.type = static_cast<FileType>(d[0]);
  switch (file.type) {
    case FileType::kTransparent: {
      const std::size_t size = static_cast<std::size_t>(d[1]) << 8 | d[2];
      if (size == 0 || size > kMaxTransparentSize) return std::nullopt;
      file.body.assign(size, 0x00);
      break;
    }
    case FileType::kLinearVariable:
      file.max_records = d[1];
      file.max_record_length = d[2];
      break;
    case FileType::kDirectory:
      file.create_ac = d[3];
      file.erase_ac = d[4];
      file.sfi = d[5];
      return file;
    default:
      return std::nullopt;
  }
  file.read_ac = d[3];
  file.update_ac = d[4];
  file.sfi = d[5];
  return file;
}

Answer CreateFromDescription(CardState& state, const Command& c) {
  if (c.p1 != 0x00 || c.p2 == 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != kDescriptionLength) return Status(sw::kWrongLength);
  const File& df = CurrentDf(state);
  if (!AccessGranted(df.create_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  std::optional<File> file = FromDescription(c.data);
  if (!file) return Status(sw::kWrongData);
  file->fid = c.p2;
  file->parent = df.fid;
  const uint16_t admitted = AdmitFile(state.card, *file);
  if (admitted != sw::kSuccess) return Status(admitted);
  state.card.files.push_back(std::move(*file));
  state.transient.current = c.p2;
  state.changed = true;
  return Status(sw::kSuccess);
}

// An empty master file takes new access conditions for creating (data
// byte 4) and erasing (byte 5); one that still holds files answers 0x6A89.
Answer RecreateMasterFile(CardState& state, const Command& c) {
  if (!c.CarriesDataOnly() || c.data.size() != kMasterDescriptionLength) return Status(sw::kWrongLength);
  const uint8_t create_ac = c.data[3];
  const uint8_t erase_ac = c.data[4];
  if (c.data[0] != static_cast<uint8_t>(FileType::kDirectory) || !IsValidAccessCondition(create_ac) ||
      !IsValidAccessCondition(erase_ac))
    return Status(sw::kWrongData);
  if (state.card.files.size() > 1) return Status(sw::kFileExists);
  File& mf = state.card.files.front();
  mf.create_ac = create_ac;
  mf.erase_ac = erase_ac;
  state.transient.current = kMasterFile;
  state.changed = true;
  return Status(sw::kSuccess);
}

}  // namespace

Answer CreateFile(CardState& state, const Command& c) {
  if (c.p1 == 0x3F && c.p2 == 0x00) return RecreateMasterFile(state, c);
  return CreateFromDescription(state, c);
}

// The first erase command starts the work and answers busy; the repeated
// command, once a poll has found the card ready, erases and answers 0x9000.
Answer EraseDf(CardState& state, const Command& c) {
  if (c.p1 != 0x00 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.header_only || c.p3 != 0x00) return Status(sw::kWrongLength);
  if (auto* pending = std::get_if<PendingErase>(&state.transient.pending)) {
    if (!pending->busy.ready) return Status(sw::kCardBusy);
    state.transient.pending = std::monostate{};
    const uint16_t df = CurrentDf(state).fid;
    EraseContents(state.card, df);
    state.transient.current = df;
    state.changed = true;
    return Status(sw::kSuccess);
  }
  if (!AccessGranted(CurrentDf(state).erase_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  state.transient.pending = PendingErase{StartBusy(state.options)};
  return Status(sw::kCardBusy);
}

}  // namespace tarnwick::vcard
