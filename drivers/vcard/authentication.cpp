// GET CHALLENGE and EXTERNAL AUTHENTICATE: the host proves it holds a DES
// or triple-DES key by encrypting the card's last 8 challenge bytes.
#include <openssl/crypto.h>

#include "block_cipher.h"
#include "crypto_library.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kChallengeLength = 8;

}  // namespace

// Le random bytes, 1 to 255 (Le 0x00, 256 bytes, does not fit an answer).
// The last 8 become the challenge; a shorter answer leaves none.
Answer GetChallenge(CardState& state, const Command& c) {
  if (c.p1 != 0x00 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.header_only || c.p3 == 0) return Status(sw::kWrongLength);
  std::vector<uint8_t> random(c.p3);
  if (!CardRandom(random)) return Status(sw::kNoDiagnosis);
  state.transient.challenge.reset();
  if (random.size() >= kChallengeLength) {
    std::array<uint8_t, kChallengeLength> challenge{};
    std::copy(random.end() - kChallengeLength, random.end(), challenge.begin());
    state.transient.challenge = challenge;
  }
  return Data(std::move(random));
}

// The challenge is spent by the first well-formed EXTERNAL AUTHENTICATE,
// whatever its outcome.
Answer ExternalAuthenticate(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != kChallengeLength) return Status(sw::kWrongLength);
  const std::optional<std::array<uint8_t, kChallengeLength>> challenge = state.transient.challenge;
  state.transient.challenge.reset();
  state.transient.authenticated.reset(c.p2);
  auto it = state.card.keys.find(c.p2);
  if (it == state.card.keys.end()) return Status(sw::kReferenceNotFound);
  const Key& key = it->second;
  if (key.type == KeyType::kCdea || (key.usage & kUsageExternalAuth) == 0)
    return Status(sw::kConditionsNotSatisfied);
  if (!challenge) return Status(sw::kConditionsNotSatisfied);
  const auto expected = DesBlock(key.value, *challenge, true);
  if (!expected) return Status(sw::kNoDiagnosis);
  if (CRYPTO_memcmp(expected->data(), c.data.data(), kChallengeLength) != 0)
    return Status(sw::kAuthenticationFailed);
  state.transient.authenticated.set(c.p2);
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
