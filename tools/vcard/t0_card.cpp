// The T=0 answering rules around the virtual card.
#include "t0_card.h"

#include <algorithm>

#include "protocol/instructions.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard_server {
namespace {

using protocol::kHeaderLength;
// GET RESPONSE with nothing waiting: "conditions of use not satisfied".
constexpr uint16_t kNothingWaiting = sw::kConditionsNotSatisfied;

// An Le byte of 00 asks for 256 bytes.
std::size_t Wanted(uint8_t le) { return le == 0 ? 256 : le; }

// 61xx or 6Cxx with the count in SW2 (256 becomes 00).
uint16_t WithCount(uint16_t sw1, std::size_t count) {
  return static_cast<uint16_t>(sw1 | (std::min<std::size_t>(count, 256) & 0xFF));
}

}  // namespace

bool T0Card::PowerUp() {
  pending_.clear();
  expected_resend_.clear();
  return card_->PowerUp();
}

skorra::Reply T0Card::Transmit(std::span<const uint8_t> command) {
  if (command.size() == kHeaderLength && ins::kGetResponse.Names(command[0], command[1], command[2]))
    return GetResponse(command[4]);
  pending_.clear();
  if (!expected_resend_.empty()) {
    const bool resent = std::equal(command.begin(), command.end(), expected_resend_.begin(), expected_resend_.end());
    expected_resend_.clear();
    if (resent) return std::move(held_);
  }
  skorra::Reply reply = card_->Transmit(command);
  if (reply.data.empty()) return reply;
  if (command.size() == kHeaderLength) {
    // A command that only asks for data: the answer goes out at once when
    // the length was right, and otherwise waits for the resend.
    if (Wanted(command[4]) == reply.data.size()) return reply;
    expected_resend_.assign(command.begin(), command.end());
    expected_resend_[4] = static_cast<uint8_t>(reply.data.size() & 0xFF);
    const uint16_t sw = WithCount(sw::kWrongLe, reply.data.size());
    held_ = std::move(reply);
    return {{}, sw};
  }
  pending_ = std::move(reply.data);
  pending_sw_ = reply.sw;
  return {{}, WithCount(sw::kBytesAvailable, pending_.size())};
}

skorra::Reply T0Card::GetResponse(uint8_t le) {
  if (pending_.empty()) return {{}, kNothingWaiting};
  const std::size_t n = std::min(Wanted(le), pending_.size());
  skorra::Reply piece{std::vector<uint8_t>(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n)),
                      pending_sw_};
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  if (!pending_.empty()) piece.sw = WithCount(sw::kBytesAvailable, pending_.size());
  return piece;
}

}  // namespace tarnwick::vcard_server
