// The caller's buffers as an application would pass them: inputs of exactly
// the stated size (any read past them is a sanitizer finding) that must come
// back unchanged, and outputs with guard bytes on both sides that must come
// back intact. Both check themselves when they go out of scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/byte_source.h"

namespace twfuzz {

class InputBytes {
 public:
  // n bytes from the source (zeros past its end).
  InputBytes(ByteSource& source, std::size_t n);
  // A copy of n given bytes.
  InputBytes(const uint8_t* bytes, std::size_t n);
  ~InputBytes();
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;

  const uint8_t* get() const { return bytes_.get(); }
  uint8_t* writable() { return bytes_.get(); }
  std::size_t size() const { return size_; }
  // The call may rewrite the buffer (an in-place operation).
  void AllowWrites() { writable_ = true; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  std::vector<uint8_t> original_;
  std::size_t size_;
  bool writable_ = false;
};

class OutputBytes {
 public:
  static constexpr std::size_t kGuard = 16;  // keeps the buffer 16-byte aligned
  static constexpr uint8_t kGuardByte = 0xA5;
  static constexpr uint8_t kFreshByte = 0x5A;

  // Room for n bytes, each holding kFreshByte until the call writes it.
  explicit OutputBytes(std::size_t n);
  ~OutputBytes();
  OutputBytes(const OutputBytes&) = delete;
  OutputBytes& operator=(const OutputBytes&) = delete;

  uint8_t* get() { return block_.get() + kGuard; }
  const uint8_t* get() const { return block_.get() + kGuard; }
  std::size_t size() const { return size_; }
  template <typename T>
  T* As() {
    return reinterpret_cast<T*>(get());
  }
  template <typename T>
  T Value() const {
    T value;
    __builtin_memcpy(&value, get(), sizeof value);
    return value;
  }
  // True while the call has written none of the n bytes.
  bool Untouched() const;

 private:
  std::unique_ptr<uint8_t[]> block_;
  std::size_t size_;
};

// A caller's integer output (a length or a count) between guard bytes,
// holding a recognisable value until the call writes it.
template <typename T>
class OutputValue {
 public:
  OutputValue() : bytes_(sizeof(T)) {}
  T* get() { return bytes_.As<T>(); }
  T value() const { return bytes_.Value<T>(); }
  bool Untouched() const { return bytes_.Untouched(); }

 private:
  OutputBytes bytes_;
};

}  // namespace twfuzz
