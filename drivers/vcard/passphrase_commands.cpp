// VERIFY, CHANGE REFERENCE DATA and RESET RETRY COUNTER on the card's
// passphrases, each named by its reference in P2.
#include <openssl/crypto.h>

#include "handlers.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kChangeDataLength = 2 * kPassphraseLength;
// Passphrases shorter than 8 bytes are kept padded with 0xFF; a presented
// value is padded the same way before the comparison.
constexpr uint8_t kPadding = 0xFF;

using Value = std::array<uint8_t, kPassphraseLength>;

Value Padded(std::span<const uint8_t> presented) {
  Value v;
  v.fill(kPadding);
  std::copy(presented.begin(), presented.end(), v.begin());
  return v;
}

bool Matches(const Value& stored, std::span<const uint8_t> presented) {
  const Value v = Padded(presented);
  return CRYPTO_memcmp(stored.data(), v.data(), v.size()) == 0;
}

uint16_t TriesLeft(uint8_t tries) { return static_cast<uint16_t>(sw::kTriesLeft | tries); }

// One comparison against a value with a try counter, fail-closed as a card
// against tearing: the try is spent and kept before the comparison, so a
// command cut short (or refused because the card cannot be saved) has cost
// its try or compared nothing. A match then gives all the tries back in
// memory only: the next change or the driver's close keeps them, and until
// then the kept counter is lower than the card's, never higher, so losing
// the refund costs the holder tries and never gives anyone a guess.
uint16_t Compare(CardState& state, const Value& stored, uint8_t& left, uint8_t max,
                 std::span<const uint8_t> presented) {
  if (left == 0) return sw::kBlocked;
  const bool changed_before = state.changed;
  const uint8_t before = left;
  --left;
  state.changed = true;
  if (!MakeDurable(state)) {
    ++left;
    state.changed = changed_before;
    return sw::kMemoryFailure;
  }
  if (!Matches(stored, presented)) return TriesLeft(left);
  left = max;
  // With a durable save the spent try is kept and the refund waits; a card
  // without one kept nothing, so for it only a counter that moved counts.
  if (!state.durable_save) state.changed = changed_before || left != before;
  return sw::kSuccess;
}

Passphrase* Find(CardState& state, uint8_t ref) {
  auto it = state.card.passphrases.find(ref);
  return it == state.card.passphrases.end() ? nullptr : &it->second;
}

}  // namespace

// Without data, VERIFY tells the state of the passphrase: 0x9000 when it is
// verified since the last reset, else 0x63Cx with the tries left (0x6983 when
// blocked). A wrong value costs a try and clears the verified state.
Answer Verify(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() > kPassphraseLength) return Status(sw::kWrongLength);
  Passphrase* p = Find(state, c.p2);
  if (p == nullptr) return Status(sw::kReferenceNotFound);
  if (c.data.empty()) {
    if (p->tries_left == 0) return Status(sw::kBlocked);
    return Status(state.transient.verified.test(c.p2) ? sw::kSuccess : TriesLeft(p->tries_left));
  }
  const uint16_t result = Compare(state, p->value, p->tries_left, p->tries_max, c.data);
  state.transient.verified.set(c.p2, result == sw::kSuccess);
  return Status(result);
}

// Data: the current passphrase, then the new one, 8 bytes each. Success
// also counts as a verification.
Answer ChangePassphrase(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != kChangeDataLength) return Status(sw::kWrongLength);
  Passphrase* p = Find(state, c.p2);
  if (p == nullptr) return Status(sw::kReferenceNotFound);
  const uint16_t result =
      Compare(state, p->value, p->tries_left, p->tries_max, c.data.first(kPassphraseLength));
  state.transient.verified.set(c.p2, result == sw::kSuccess);
  if (result != sw::kSuccess) return Status(result);
  std::copy(c.data.begin() + kPassphraseLength, c.data.end(), p->value.begin());
  state.changed = true;
  return Status(sw::kSuccess);
}

// Data: the unblocking code, then the new passphrase, 8 bytes each. The
// unblocking code has its own try counter; success sets the passphrase and
// gives it all its tries back.
Answer UnblockPassphrase(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != kChangeDataLength) return Status(sw::kWrongLength);
  Passphrase* p = Find(state, c.p2);
  if (p == nullptr) return Status(sw::kReferenceNotFound);
  const uint16_t result =
      Compare(state, p->unblock, p->unblock_left, p->unblock_max, c.data.first(kPassphraseLength));
  if (result != sw::kSuccess) return Status(result);
  std::copy(c.data.begin() + kPassphraseLength, c.data.end(), p->value.begin());
  p->tries_left = p->tries_max;
  state.transient.verified.reset(c.p2);
  state.changed = true;
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
