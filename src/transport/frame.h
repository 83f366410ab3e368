// The command frame every export builds (one short ISO/IEC 7816-4 command:
// header, data, optional Le and the length to send) and the response buffer
// that receives the card's answer. Both live on the caller's stack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver_loader.h"
#include "protocol/instructions.h"

namespace tarnwick {

class CommandFrame {
 public:
  static constexpr std::size_t kHeaderSize = 5;
  // Room for the longest short command: header, 255 data bytes and Le.
  static constexpr std::size_t kCapacity = kHeaderSize + 255 + 1;
  static constexpr std::size_t kMaxSendable = loader::kLongestCommand;

  // A header-only command (length 5) of the instruction; every byte after
  // the header is zero.
  CommandFrame(const protocol::Instruction& instruction, uint8_t p1, uint8_t p2, uint8_t p3 = 0) {
    bytes_[0] = instruction.cla;
    bytes_[1] = instruction.ins;
    bytes_[2] = p1;
    bytes_[3] = p2;
    bytes_[4] = p3;
  }

  // Five zero bytes: sent to wait until the card is ready again.
  static CommandFrame Poll() { return CommandFrame(ins::kPoll, 0, 0, 0); }
  void SetP1(uint8_t p1) { bytes_[2] = p1; }
  void SetP2(uint8_t p2) { bytes_[3] = p2; }
  void SetP3(uint8_t p3) { bytes_[4] = p3; }

  // Lc = n and the n data bytes; the command is then 5 + n bytes long.
  void SetData(const uint8_t* data, uint8_t n) {
    bytes_[4] = n;
    if (n != 0) std::memcpy(bytes_.data() + kHeaderSize, data, n);
    length_ = kHeaderSize + n;
  }

  // Le after the data, for a command that carries data and expects an answer.
  void AppendLe(uint8_t le) { bytes_[length_++] = le; }

  uint8_t* data() { return bytes_.data() + kHeaderSize; }
  const uint8_t* bytes() const { return bytes_.data(); }
  std::size_t length() const { return length_; }

 private:
  std::array<uint8_t, kCapacity> bytes_{};
  std::size_t length_ = kHeaderSize;
};

// The answer's data as the driver delivers it, with its one-byte length. 256
// bytes hold the most a one-byte length can announce.
template <std::size_t N = 256>
struct Response {
  static_assert(N >= 256, "a response buffer must hold every length a driver can announce");
  std::array<uint8_t, N> data{};
  uint8_t length = 0;

  void Clear() {
    data.fill(0);
    length = 0;
  }
};

}  // namespace tarnwick
