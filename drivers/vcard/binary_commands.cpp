// READ BINARY and UPDATE BINARY on transparent EFs: the current EF with a
// 15-bit offset in P1 P2, or the EF named by a short identifier in P1
// (bit 8 set) with the offset in P2.
#include <algorithm>

#include "access.h"
#include "file_system.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

// One answer carries at most this many data bytes (its length is one byte).
constexpr std::size_t kMaxAnswer = 255;

struct Target {
  File* file = nullptr;
  std::size_t offset = 0;
};

Found<Target> Resolve(CardState& state, const Command& c) {
  Target t;
  if (c.p1 & 0x80) {
    const uint8_t sfi = c.p1 & 0x1F;
    if ((c.p1 & 0x60) != 0 || sfi == 0 || sfi > kMaxSfi) return {{}, sw::kWrongP1P2};
    t.file = FindBySfi(state.card, CurrentDf(state).fid, sfi);
    if (t.file == nullptr) return {{}, sw::kFileNotFound};
    t.offset = c.p2;
  } else {
    t.file = &CurrentFile(state);
    if (!IsEf(*t.file)) return {{}, sw::kNoCurrentEf};
    t.offset = static_cast<std::size_t>(c.p1) << 8 | c.p2;
  }
  if (t.file->type != FileType::kTransparent) return {{}, sw::kIncompatibleFile};
  return {t};
}

}  // namespace

// Le 0x00 reads to the end of the file, at most 255 bytes. A non-zero Le
// that runs past the end gets the bytes up to the end and 0x6282; an offset
// at or past the end gets 0x6B00.
Answer ReadBinary(CardState& state, const Command& c) {
  if (!c.header_only) return Status(sw::kWrongLength);
  const Found<Target> found = Resolve(state, c);
  if (!found.ok()) return Status(found.sw);
  const Target& t = found.value;
  if (!AccessGranted(t.file->read_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  const std::vector<uint8_t>& body = t.file->body;
  if (t.offset >= body.size()) return Status(sw::kWrongParameters);
  const std::size_t available = body.size() - t.offset;
  const std::size_t wanted = c.p3 == 0 ? std::min(available, kMaxAnswer) : c.p3;
  const std::size_t n = std::min(wanted, available);
  state.transient.current = t.file->fid;
  const auto from = body.begin() + static_cast<std::ptrdiff_t>(t.offset);
  return Data({from, from + static_cast<std::ptrdiff_t>(n)}, n < wanted ? sw::kEndReached : sw::kSuccess);
}

// Writes all the data or nothing: data that would run past the end of the
// file is refused with 0x6A84.
Answer UpdateBinary(CardState& state, const Command& c) {
  if (!c.CarriesDataOnly() || c.data.empty()) return Status(sw::kWrongLength);
  const Found<Target> found = Resolve(state, c);
  if (!found.ok()) return Status(found.sw);
  const Target& t = found.value;
  if (!AccessGranted(t.file->update_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  std::vector<uint8_t>& body = t.file->body;
  if (t.offset >= body.size()) return Status(sw::kWrongParameters);
  if (c.data.size() > body.size() - t.offset) return Status(sw::kNoSpace);
  std::copy(c.data.begin(), c.data.end(), body.begin() + static_cast<std::ptrdiff_t>(t.offset));
  state.transient.current = t.file->fid;
  state.changed = true;
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
