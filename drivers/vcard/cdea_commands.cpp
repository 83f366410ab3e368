// The card's CDEA cipher; the virtual card uses AES-128 in its
// place. A loaded key serves the encrypt and decrypt commands; the key
// commands derive a session key, which serves the cipher command.
#include "block_cipher.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kBlock = 16;
constexpr uint8_t kDeriveUnderLoadedKey = 0x20;
constexpr uint8_t kDeriveUnderCardKey = 0x60;
// The key check value: the first bytes of a zero block encrypted under
// the new session key.
constexpr std::size_t kCheckValueLength = 3;

bool IsOneBlock(const Command& c) { return c.CarriesDataOnly() && c.data.size() == kBlock; }

using Block = std::array<uint8_t, kBlock>;

Answer Cipher(const std::optional<Block>& key, const Command& c, bool encrypt) {
  if (c.p1 != 0x00 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!IsOneBlock(c)) return Status(sw::kWrongLength);
  if (!key) return Status(sw::kConditionsNotSatisfied);
  const auto out = Aes128Block(*key, c.data, encrypt);
  if (!out) return Status(sw::kNoDiagnosis);
  return Data({out->begin(), out->end()});
}

// The master key of a key command: the loaded key (mode 0x20) or the card
// key P2 names (mode 0x60), which must be a CDEA key allowed to
// derive session keys.
Found<Block> MasterKey(const CardState& state, const Command& c) {
  if (c.p1 == kDeriveUnderLoadedKey) {
    if (!state.transient.cipher_key) return {{}, sw::kConditionsNotSatisfied};
    return {*state.transient.cipher_key};
  }
  auto it = state.card.keys.find(c.p2);
  if (it == state.card.keys.end()) return {{}, sw::kReferenceNotFound};
  const Key& key = it->second;
  if (key.type != KeyType::kCdea || (key.usage & kUsageCipherMaster) == 0) return {{}, sw::kConditionsNotSatisfied};
  Block block{};
  std::copy(key.value.begin(), key.value.end(), block.begin());
  return {block};
}

}  // namespace

Answer CdeaLoadKey(CardState& state, const Command& c) {
  if (c.p1 != 0x00 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!IsOneBlock(c)) return Status(sw::kWrongLength);
  Block key{};
  std::copy(c.data.begin(), c.data.end(), key.begin());
  state.transient.cipher_key = key;
  return Status(sw::kSuccess);
}

Answer CdeaEncrypt(CardState& state, const Command& c) {
  return Cipher(state.transient.cipher_key, c, true);
}
Answer CdeaDecrypt(CardState& state, const Command& c) {
  return Cipher(state.transient.cipher_key, c, false);
}
Answer CdeaSessionCommand(CardState& state, const Command& c) {
  return Cipher(state.transient.session_key, c, true);
}

// The session key is the 16 data bytes encrypted under the master key; the
// answer is its 3-byte check value.
Answer CdeaKeyCommand(CardState& state, const Command& c) {
  if (c.p1 != kDeriveUnderLoadedKey && c.p1 != kDeriveUnderCardKey) return Status(sw::kWrongP1P2);
  if (c.p1 == kDeriveUnderLoadedKey && c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!IsOneBlock(c)) return Status(sw::kWrongLength);
  const Found<Block> master = MasterKey(state, c);
  if (!master.ok()) return Status(master.sw);
  const auto session_key = Aes128Block(master.value, c.data, true);
  const Block zero{};
  const auto check = session_key ? Aes128Block(*session_key, zero, true) : std::nullopt;
  if (!check) return Status(sw::kNoDiagnosis);
  state.transient.session_key = *session_key;
  return Data({check->begin(), check->begin() + kCheckValueLength});
}

}  // namespace tarnwick::vcard
