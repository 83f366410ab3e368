// GET RESPONSE chains and 6Cxx resends around one command.
#include "t0_exchange.h"

#include <algorithm>

#include "protocol/instructions.h"

namespace tarnwick::skorra {
namespace {

using protocol::kHeaderLength;
constexpr uint8_t kMoreData = sw::kBytesAvailable >> 8;  // SW2 bytes wait for GET RESPONSE (00 means 256)
constexpr uint8_t kWrongLe = sw::kWrongLe >> 8;          // resend with Le = SW2

// Splits a raw answer into data and status word; kNoAnswer when it is too
// short to hold SW1 SW2.
Reply Split(const std::optional<std::vector<uint8_t>>& raw) {
  if (!raw || raw->size() < 2) return {{}, kNoAnswer};
  const std::size_t n = raw->size() - 2;
  return {std::vector<uint8_t>(raw->begin(), raw->begin() + static_cast<std::ptrdiff_t>(n)),
          static_cast<uint16_t>((*raw)[n] << 8 | (*raw)[n + 1])};
}

uint8_t Sw1(const Reply& reply) { return static_cast<uint8_t>(reply.sw >> 8); }
uint8_t Sw2(const Reply& reply) { return static_cast<uint8_t>(reply.sw & 0xFF); }

// The command with its Le byte set to `le`: the fifth byte of a header-only
// command, the last byte of one that carries data and an Le. A command with
// data and no Le expects no answer data, so it has nothing to correct.
std::optional<std::vector<uint8_t>> WithLe(std::span<const uint8_t> command, uint8_t le) {
  std::vector<uint8_t> resent(command.begin(), command.end());
  if (resent.size() == kHeaderLength) {
    resent[4] = le;
    return resent;
  }
  if (resent.size() > kHeaderLength && resent.size() == kHeaderLength + resent[4] + 1u) {
    resent.back() = le;
    return resent;
  }
  return std::nullopt;
}

Reply CarryAdded(std::span<const uint8_t> command, const Carrier& carry, const AddedExchange& added) {
  Reply reply = Split(carry(command));
  if (added) added(command, reply);
  return reply;
}

}  // namespace

Reply CompleteT0(std::span<const uint8_t> command, const Carrier& carry, const AddedExchange& added) {
  Reply reply = Split(carry(command));
  if (reply.sw == kNoAnswer) return reply;

  if (Sw1(reply) == kWrongLe) {
    if (std::optional<std::vector<uint8_t>> resent = WithLe(command, Sw2(reply))) {
      reply = CarryAdded(*resent, carry, added);
      if (reply.sw == kNoAnswer) return reply;
    }
  }

  while (Sw1(reply) == kMoreData && reply.data.size() < kLongestGatheredAnswer) {
    const std::vector<uint8_t> get_response = {ins::kGetResponse.cla, ins::kGetResponse.ins, 0x00, 0x00,
                                               Sw2(reply)};
    Reply more = CarryAdded(get_response, carry, added);
    if (more.sw == kNoAnswer) return more;
    const std::size_t room = kLongestGatheredAnswer - reply.data.size();
    reply.data.insert(reply.data.end(), more.data.begin(),
                      more.data.begin() + static_cast<std::ptrdiff_t>(std::min(room, more.data.size())));
    reply.sw = more.sw;
  }
  return reply;
}

}  // namespace tarnwick::skorra
