// PKCS #1 v1.5 padding and its removal.
#include "pkcs1.h"

#include <algorithm>

#include "crypto_library.h"

namespace tarnwick::vcard {
namespace {

constexpr std::size_t kMinPadding = 8;

std::vector<uint8_t> Block(uint8_t type, std::span<const uint8_t> padding, std::span<const uint8_t> data) {
  std::vector<uint8_t> block = {0x00, type};
  block.insert(block.end(), padding.begin(), padding.end());
  block.push_back(0x00);
  block.insert(block.end(), data.begin(), data.end());
  return block;
}

}  // namespace

std::vector<uint8_t> PadType1(std::span<const uint8_t> data, std::size_t k) {
  const std::vector<uint8_t> padding(k - 3 - data.size(), 0xFF);
  return Block(0x01, padding, data);
}

std::optional<std::vector<uint8_t>> PadType2(std::span<const uint8_t> data, std::size_t k) {
  std::vector<uint8_t> padding(k - 3 - data.size());
  for (uint8_t& b : padding) {
    do {
      if (!CardRandom({&b, 1})) return std::nullopt;
    } while (b == 0);
  }
  return Block(0x02, padding, data);
}

std::optional<std::vector<uint8_t>> Unpad(std::span<const uint8_t> block, uint8_t type) {
  if (block.size() < kPkcs1Overhead || block[0] != 0x00 || block[1] != type) return std::nullopt;
  const auto body = block.subspan(2);
  const auto end = std::find(body.begin(), body.end(), uint8_t{0x00});
  if (end == body.end()) return std::nullopt;
  const auto padding_length = static_cast<std::size_t>(end - body.begin());
  if (padding_length < kMinPadding) return std::nullopt;
  if (type == 0x01 && !std::all_of(body.begin(), end, [](uint8_t b) { return b == 0xFF; }))
    return std::nullopt;
  return std::vector<uint8_t>(end + 1, body.end());
}

}  // namespace tarnwick::vcard
