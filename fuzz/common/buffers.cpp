// Guarded caller buffers for the harnesses.
#include "common/buffers.h"

#include <algorithm>

#include "common/check.h"

namespace twfuzz {

InputBytes::InputBytes(ByteSource& source, std::size_t n)
    : bytes_(new uint8_t[n]), original_(n), size_(n) {
  source.Fill(bytes_.get(), n);
  std::copy_n(bytes_.get(), n, original_.begin());
}

InputBytes::InputBytes(const uint8_t* bytes, std::size_t n)
    : bytes_(new uint8_t[n]), original_(bytes, bytes + n), size_(n) {
  std::copy_n(bytes, n, bytes_.get());
}

InputBytes::~InputBytes() {
  if (!writable_)
    Check(std::equal(original_.begin(), original_.end(), bytes_.get()),
          "an input buffer was written");
}

OutputBytes::OutputBytes(std::size_t n) : block_(new uint8_t[kGuard + n + kGuard]), size_(n) {
  std::fill_n(block_.get(), kGuard, kGuardByte);
  std::fill_n(get(), n, kFreshByte);
  std::fill_n(get() + n, kGuard, kGuardByte);
}

OutputBytes::~OutputBytes() {
  auto is_guard = [](uint8_t b) { return b == kGuardByte; };
  Check(std::all_of(block_.get(), block_.get() + kGuard, is_guard),
        "written in front of an output buffer");
  Check(std::all_of(get() + size_, get() + size_ + kGuard, is_guard),
        "written past the end of an output buffer");
}

bool OutputBytes::Untouched() const {
  return std::all_of(get(), get() + size_, [](uint8_t b) { return b == kFreshByte; });
}

}  // namespace twfuzz
