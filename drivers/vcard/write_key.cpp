// The write-key command: P1 0x01 adds the key that P2 names, any other P1
// replaces it; the data is the key block (type, usage, value).
#include "access.h"
#include "handlers.h"
#include "key_rules.h"

namespace tarnwick::vcard {
namespace {

constexpr uint8_t kAdd = 0x01;
constexpr std::size_t kBlockHeader = 2;  // type, usage

}  // namespace

Answer WriteKey(CardState& state, const Command& c) {
  if (!IsKeyIdentifier(c.p2)) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() < kBlockHeader) return Status(sw::kWrongLength);
  if (!AccessGranted(state.card.key_write_ac, state.transient)) return Status(sw::kSecurityNotSatisfied);
  const uint8_t type = c.data[0];
  const std::size_t length = KeyLength(type);
  if (length == 0) return Status(sw::kWrongData);
  if (c.data.size() != kBlockHeader + length) return Status(sw::kWrongLength);
  Key key{static_cast<KeyType>(type), c.data[1], {c.data.begin() + kBlockHeader, c.data.end()}};
  if (!IsValidUsage(key.type, key.usage)) return Status(sw::kWrongData);

  auto& keys = state.card.keys;
  const bool exists = keys.contains(c.p2);
  if (c.p1 == kAdd && exists) return Status(sw::kFileExists);
  if (c.p1 != kAdd && !exists) return Status(sw::kReferenceNotFound);
  if (!exists && keys.size() >= kMaxKeys) return Status(sw::kNoSpace);
  keys[c.p2] = std::move(key);
  // Whatever was proven with the old value no longer holds.
  state.transient.authenticated.reset(c.p2);
  state.changed = true;
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
