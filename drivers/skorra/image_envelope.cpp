// Seals a card image into the file format and checks a file on the way back.
#include "image_envelope.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>

namespace tarnwick::skorra {
namespace {

constexpr std::array<uint8_t, 8> kMagic = {'T', 'W', 'V', 'C', 'A', 'R', 'D', 0x01};
constexpr std::size_t kLengthSize = 4;
constexpr std::size_t kDigestSize = 32;
constexpr std::size_t kOverhead = kMagic.size() + kLengthSize + kDigestSize;

using Digest = std::array<uint8_t, kDigestSize>;

std::optional<Digest> Sha256(std::span<const uint8_t> bytes) {
  Digest digest{};
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
      size != kDigestSize)
    return std::nullopt;
  return digest;
}

}  // namespace

std::vector<uint8_t> SealImage(std::span<const uint8_t> image) {
  std::vector<uint8_t> file(kMagic.begin(), kMagic.end());
  const auto n = static_cast<uint32_t>(image.size());
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<uint8_t>(n >> shift));
  file.insert(file.end(), image.begin(), image.end());
  const std::optional<Digest> digest = Sha256(file);
  if (!digest) return {};
  file.insert(file.end(), digest->begin(), digest->end());
  return file;
}

std::optional<std::vector<uint8_t>> UnsealImage(std::span<const uint8_t> file) {
  if (file.size() < kOverhead || !std::equal(kMagic.begin(), kMagic.end(), file.begin())) return std::nullopt;
  uint32_t n = 0;
  for (std::size_t i = 0; i < kLengthSize; ++i) n = n << 8 | file[kMagic.size() + i];
  if (n != file.size() - kOverhead) return std::nullopt;
  const std::size_t body = file.size() - kDigestSize;
  const std::optional<Digest> digest = Sha256(file.first(body));
  if (!digest || !std::equal(digest->begin(), digest->end(), file.begin() + body)) return std::nullopt;
  const auto image = file.subspan(kMagic.size() + kLengthSize, n);
  return std::vector<uint8_t>(image.begin(), image.end());
}

}  // namespace tarnwick::skorra
