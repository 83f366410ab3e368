// 61xx / 6Cxx answers in front of the card operating system.
#include "t0_card.h"

#include <algorithm>

namespace tarnwick::vcard_server {
namespace {

constexpr std::size_t kHeaderLength = 5;
// Le 00 asks for 256 bytes; SW2 00 after 61 or 6C means 256 as well.
constexpr std::size_t kLongestTransfer = 256;

uint16_t MoreData(std::size_t n) { return static_cast<uint16_t>(0x6100 | (n >= kLongestTransfer ? 0 : n)); }
uint16_t WrongLength(std::size_t n) { return static_cast<uint16_t>(0x6C00 | (n >= kLongestTransfer ? 0 : n)); }
std::size_t Expected(uint8_t le) { return le == 0 ? kLongestTransfer : le; }

bool IsGetResponse(std::span<const uint8_t> command) {
  return command.size() == kHeaderLength && command[0] == 0x00 && command[1] == 0xC0 && command[2] == 0x00 &&
         command[3] == 0x00;
}

}  // namespace

bool T0Card::PowerUp() {
  chain_open_ = false;
  waiting_.clear();
  return card_.PowerUp();
}

skorra::Reply T0Card::Transmit(std::span<const uint8_t> command) {
  if (chain_open_ && IsGetResponse(command)) return HandOut(Expected(command[4]));
  chain_open_ = false;
  waiting_.clear();

  skorra::Reply reply = card_.Transmit(command);
  if (reply.data.empty()) return reply;
  // A header-only command carries its Le in P3: the card sends exactly that
  // many bytes or says how many it has.
  if (command.size() == kHeaderLength) {
    if (Expected(command[4]) == reply.data.size()) return reply;
    return {{}, WrongLength(reply.data.size())};
  }
  // A command with data cannot collect an answer in the same exchange.
  waiting_ = std::move(reply.data);
  final_sw_ = reply.sw;
  chain_open_ = true;
  return {{}, MoreData(waiting_.size())};
}

// A GET RESPONSE asking for more than waits gets 6Cxx and the chain stays
// open, as on a card; one asking for less leaves the rest announced by 61xx.
skorra::Reply T0Card::HandOut(std::size_t wanted) {
  if (wanted > waiting_.size()) return {{}, WrongLength(waiting_.size())};
  skorra::Reply part{std::vector<uint8_t>(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(wanted)),
                     final_sw_};
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(wanted));
  if (!waiting_.empty()) {
    part.sw = MoreData(waiting_.size());
  } else {
    chain_open_ = false;
  }
  return part;
}

}  // namespace tarnwick::vcard_server
