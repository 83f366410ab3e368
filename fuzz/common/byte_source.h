// The fuzzer's input read front to back as integers and byte strings; past
// the end every read gives zeros, so a harness never needs to check sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace twfuzz {

class ByteSource {
 public:
  ByteSource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  std::size_t remaining() const { return empty() ? 0 : size_ - pos_; }

  uint8_t Byte() { return empty() ? 0 : data_[pos_++]; }
  // Big-endian, as a card trace shows them.
  uint16_t U16() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) << 16 | U16(); }

  // Copies up to n bytes and answers how many there were.
  std::size_t Take(uint8_t* out, std::size_t n) {
    std::size_t taken = n < remaining() ? n : remaining();
    for (std::size_t i = 0; i < taken; ++i) out[i] = data_[pos_ + i];
    pos_ += taken;
    return taken;
  }

  // Exactly n bytes: the input's, then zeros.
  void Fill(uint8_t* out, std::size_t n) {
    std::size_t taken = Take(out, n);
    for (std::size_t i = taken; i < n; ++i) out[i] = 0;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace twfuzz
