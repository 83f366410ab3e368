// RSA key-pair generation (0x80 0xCE, P1 0x00): the first command starts
// it and answers busy; polls answer busy, then 0x6D00; the next command
// generates and answers the public-key record. With P2 = 1 to 4 the
// private key stays in that key slot and further commands repeat the
// record; with P2 = 0 the key stays in no key slot and the next six commands
// hand out d, p, q, dP, dQ and qInv. Generation into a key slot needs the
// key slots' condition; offline generation does not, since it keeps nothing.
#include "access.h"
#include "handlers.h"
#include "long_operation.h"
#include "rsa_key.h"

namespace tarnwick::vcard {
namespace {

constexpr uint8_t kOffline = 0x00;

std::vector<uint8_t> Bytes(std::span<const uint8_t> value) { return {value.begin(), value.end()}; }

// The answer after the public record: 1 for d, up to 6 for qInv.
std::vector<uint8_t> PrivateValue(const RsaPrivateKey& key, int index) {
  switch (index) {
    case 1:
      return Bytes(key.d);
    case 2:
      return Bytes(key.p);
    case 3:
      return Bytes(key.q);
    case 4:
      return Bytes(key.dp);
    case 5:
      return Bytes(key.dq);
    default:
      return Bytes(key.qinv);
  }
}

constexpr int kOfflineAnswers = 7;  // the public record and six values

Answer Complete(CardState& state, PendingKeyGeneration& generation) {
  std::optional<RsaPrivateKey> key =
      state.options.key_pair_source ? state.options.key_pair_source() : GenerateRsaKey();
  if (!key) {
    state.transient.pending = std::monostate{};
    return Status(sw::kNoDiagnosis);
  }
  generation.key = key;
  generation.answers_given = 1;
  if (generation.key_slot != kOffline) {
    state.card.key_slots[generation.key_slot - 1u] = key;
    state.changed = true;
  }
  return Data(PublicKeyRecord(*key));
}

Answer NextAnswer(CardState& state, PendingKeyGeneration& generation) {
  const RsaPrivateKey key = *generation.key;
  if (generation.key_slot != kOffline) return Data(PublicKeyRecord(key));
  const int index = generation.answers_given++;
  if (generation.answers_given == kOfflineAnswers) state.transient.pending = std::monostate{};
  return Data(PrivateValue(key, index));
}

}  // namespace

Answer GenerateKeyPair(CardState& state, const Command& c) {
  if (c.p2 > kKeySlots) return Status(sw::kWrongP1P2);
  if (!c.header_only) return Status(sw::kWrongLength);
  if (c.p2 != kOffline && !AccessGranted(kKeySlotCondition, state.transient)) {
    return Status(sw::kSecurityNotSatisfied);
  }
  auto* generation = std::get_if<PendingKeyGeneration>(&state.transient.pending);
  if (generation == nullptr || generation->key_slot != c.p2) {
    state.transient.pending = PendingKeyGeneration{c.p2, StartBusy(state.options), std::nullopt, 0};
    return Status(sw::kCardBusy);
  }
  if (!generation->busy.ready) return Status(sw::kCardBusy);
  if (!generation->key) return Complete(state, *generation);
  return NextAnswer(state, *generation);
}

}  // namespace tarnwick::vcard
