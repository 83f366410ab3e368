// SHA-1 of a message sent in one command (P1 0x00, P2 = Lc = length) or in
// a chain: a first piece (P1 0x3F, P2 0xFF), middle pieces (P1 0xBF,
// P2 0xFF), all of 64 bytes, and a last piece of 1 to 64 bytes whose P1
// (bit 8 set) and P2 carry the whole message's 15-bit length.
#include "crypto_library.h"
#include "handlers.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kPiece = 64;
constexpr std::size_t kMaxMessage = 0x7FFF;
constexpr uint8_t kSingle = 0x00;
constexpr uint8_t kFirst = 0x3F;
constexpr uint8_t kMiddle = 0xBF;
constexpr uint8_t kContinued = 0x80;

Answer Digest(std::span<const uint8_t> message) {
  std::vector<uint8_t> digest(20);
  if (!CardDigest("SHA1", message, digest)) return Status(sw::kNoDiagnosis);
  return Data(std::move(digest));
}

Answer Single(const Command& c) {
  if (c.p2 != c.data.size()) return Status(sw::kWrongLength);
  return Digest(c.data);
}

Answer First(CardState& state, const Command& c) {
  if (c.p2 != 0xFF) return Status(sw::kWrongP1P2);
  if (c.data.size() != kPiece) return Status(sw::kWrongLength);
  state.transient.pending = Sha1Chain{{c.data.begin(), c.data.end()}};
  return Status(sw::kSuccess);
}

// A piece with P1 0xBF, P2 0xFF and 64 bytes is a middle piece: a last piece
// with those parameters would make a message of 0x3FFF bytes, which ends in
// 63 bytes, not 64.
Answer Continued(CardState& state, const Command& c) {
  auto* chain = std::get_if<Sha1Chain>(&state.transient.pending);
  if (chain == nullptr) return Status(sw::kConditionsNotSatisfied);
  std::vector<uint8_t>& message = chain->message;
  if (c.p1 == kMiddle && c.p2 == 0xFF && c.data.size() == kPiece) {
    if (message.size() + kPiece > kMaxMessage) {
      state.transient.pending = std::monostate{};
      return Status(sw::kWrongLength);
    }
    message.insert(message.end(), c.data.begin(), c.data.end());
    return Status(sw::kSuccess);
  }
  const std::size_t total = static_cast<std::size_t>(c.p1 & 0x7F) << 8 | c.p2;
  message.insert(message.end(), c.data.begin(), c.data.end());
  const bool complete = !c.data.empty() && c.data.size() <= kPiece && message.size() == total;
  Answer answer = complete ? Digest(message) : Status(sw::kWrongLength);
  state.transient.pending = std::monostate{};
  return answer;
}

}  // namespace

// Anything but a continued piece ends a chain in progress.
Answer HashSha1(CardState& state, const Command& c) {
  if (c.p1 & kContinued) return Continued(state, c);
  state.transient.pending = std::monostate{};
  if (c.p1 == kSingle) return Single(c);
  if (c.p1 == kFirst) return First(state, c);
  return Status(sw::kWrongP1P2);
}

}  // namespace tarnwick::vcard
