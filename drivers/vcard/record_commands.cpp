// READ RECORD, UPDATE RECORD and APPEND RECORD on linear variable record
// EFs, named by a short identifier in P2 bits 8-4 (0: the current EF).
#include "access.h"
#include "file_system.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

// P2 bits 3-1: 0b100 addresses the record whose number P1 holds; appending
// uses 0b000.
constexpr uint8_t kByNumber = 0x04;
constexpr uint8_t kAppend = 0x00;

Found<File*> Resolve(CardState& state, const Command& c, uint8_t addressing) {
  if ((c.p2 & 0x07) != addressing) return {nullptr, sw::kWrongP1P2};
  const uint8_t sfi = c.p2 >> 3;
  File* file = nullptr;
  if (sfi == 0) {
    file = &CurrentFile(state);
    if (!IsEf(*file)) return {nullptr, sw::kNoCurrentEf};
  } else {
    if (sfi > kMaxSfi) return {nullptr, sw::kWrongP1P2};
    file = FindBySfi(state.card, CurrentDf(state).fid, sfi);
    if (file == nullptr) return {nullptr, sw::kFileNotFound};
  }
  if (file->type != FileType::kLinearVariable) return {nullptr, sw::kIncompatibleFile};
  return {file};
}

// Records are numbered from 1; P1 0x00 (the current record, which this card
// does not keep) and 0xFF are refused.
bool IsRecordNumber(uint8_t p1) { return p1 != 0x00 && p1 != 0xFF; }

}  // namespace

// Le 0x00 reads the whole record; a shorter Le its first bytes; a longer Le
// the whole record with 0x6282.
Answer ReadRecord(CardState& state, const Command& c) {
  if (!c.header_only) return Status(sw::kWrongLength);
  if (!IsRecordNumber(c.p1)) return Status(sw::kWrongP1P2);
  const Found<File*> target = Resolve(state, c, kByNumber);
  if (!target.ok()) return Status(target.sw);
  File* const file = target.value;
  if (!AccessGranted(file->read_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  if (c.p1 > file->records.size()) return Status(sw::kRecordNotFound);
  std::vector<uint8_t> record = file->records[c.p1 - 1u];
  state.transient.current = file->fid;
  if (c.p3 == 0 || c.p3 == record.size()) return Data(std::move(record));
  if (c.p3 < record.size()) {
    record.resize(c.p3);
    return Data(std::move(record));
  }
  return Data(std::move(record), sw::kEndReached);
}

Answer UpdateRecord(CardState& state, const Command& c) {
  if (!c.CarriesDataOnly() || c.data.empty()) return Status(sw::kWrongLength);
  if (!IsRecordNumber(c.p1)) return Status(sw::kWrongP1P2);
  const Found<File*> target = Resolve(state, c, kByNumber);
  if (!target.ok()) return Status(target.sw);
  File* const file = target.value;
  if (c.data.size() > file->max_record_length) return Status(sw::kWrongLength);
  if (!AccessGranted(file->update_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  if (c.p1 > file->records.size()) return Status(sw::kRecordNotFound);
  file->records[c.p1 - 1u].assign(c.data.begin(), c.data.end());
  state.transient.current = file->fid;
  state.changed = true;
  return Status(sw::kSuccess);
}

// A full file (as many records as its description allows) answers 0x6A84.
Answer AppendRecord(CardState& state, const Command& c) {
  if (!c.CarriesDataOnly() || c.data.empty()) return Status(sw::kWrongLength);
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  const Found<File*> target = Resolve(state, c, kAppend);
  if (!target.ok()) return Status(target.sw);
  File* const file = target.value;
  if (c.data.size() > file->max_record_length) return Status(sw::kWrongLength);
  if (!AccessGranted(file->update_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  if (file->records.size() >= file->max_records) return Status(sw::kNoSpace);
  file->records.emplace_back(c.data.begin(), c.data.end());
  state.transient.current = file->fid;
  state.changed = true;
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
