// Reading a card image back, accepting only what the card itself could
// have written: every length bounded, every file admitted by the same rules
// as a created one, keys and counters valid, nothing left over.
#include <openssl/crypto.h>

#include "access.h"
#include "file_system.h"
#include "image.h"
#include "image_format.h"
#include "key_rules.h"
#include "rsa_key.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard {
namespace {

// Reads big-endian fields; any read past the end marks the reader failed
// and yields zeros.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ == in_.size(); }
  void Fail() { ok_ = false; }

  std::span<const uint8_t> Bytes(std::size_t n) {
    if (!ok_ || in_.size() - pos_ < n) {
      ok_ = false;
      return {};
    }
    auto out = in_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  uint8_t U8() {
    auto b = Bytes(1);
    return b.empty() ? 0 : b[0];
  }
  uint16_t U16() {
    const uint16_t high = U8();
    return static_cast<uint16_t>(high << 8 | U8());
  }
  template <std::size_t N>
  void Into(std::array<uint8_t, N>& out) {
    auto b = Bytes(N);
    if (!b.empty()) std::copy(b.begin(), b.end(), out.begin());
  }

 private:
  std::span<const uint8_t> in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool ReadFile(Reader& r, Persistent& card) {
  File f;
  f.fid = r.U16();
  f.parent = r.U16();
  f.type = static_cast<FileType>(r.U8());
  f.sfi = r.U8();
  const uint8_t first_ac = r.U8();
  const uint8_t second_ac = r.U8();
  switch (f.type) {
    case FileType::kDirectory:
      f.create_ac = first_ac;
      f.erase_ac = second_ac;
      break;
    case FileType::kTransparent: {
      f.read_ac = first_ac;
      f.update_ac = second_ac;
      const uint16_t size = r.U16();
      if (size > kMaxTransparentSize) return false;
      auto body = r.Bytes(size);
      f.body.assign(body.begin(), body.end());
      break;
    }
    case FileType::kLinearVariable: {
      f.read_ac = first_ac;
      f.update_ac = second_ac;
      f.max_records = r.U8();
      f.max_record_length = r.U8();
      const uint8_t count = r.U8();
      for (uint8_t i = 0; i < count && r.ok(); ++i) {
        auto record = r.Bytes(r.U8());
        f.records.emplace_back(record.begin(), record.end());
      }
      break;
    }
    default:
      return false;
  }
  if (!r.ok() || AdmitFile(card, f) != sw::kSuccess) return false;
  card.files.push_back(std::move(f));
  return true;
}

// Entries keyed by a reference come in ascending order, so that one state
// has one image.
bool ReadPassphrases(Reader& r, Persistent& card) {
  const uint8_t count = r.U8();
  if (count > kMaxPassphrases) return false;
  int last = -1;
  for (uint8_t i = 0; i < count; ++i) {
    const uint8_t ref = r.U8();
    Passphrase p;
    r.Into(p.value);
    p.tries_max = r.U8();
    p.tries_left = r.U8();
    r.Into(p.unblock);
    p.unblock_max = r.U8();
    p.unblock_left = r.U8();
    if (!r.ok() || ref <= last || !IsKeyIdentifier(ref) || !IsValidPassphrase(p)) return false;
    last = ref;
    card.passphrases[ref] = p;
  }
  return true;
}

bool ReadKeys(Reader& r, Persistent& card) {
  const uint8_t count = r.U8();
  if (count > kMaxKeys) return false;
  int last = -1;
  for (uint8_t i = 0; i < count; ++i) {
    const uint8_t id = r.U8();
    const uint8_t type = r.U8();
    Key k{static_cast<KeyType>(type), r.U8(), {}};
    auto value = r.Bytes(KeyLength(type));
    k.value.assign(value.begin(), value.end());
    if (!r.ok() || id <= last || !IsKeyIdentifier(id) || !IsValidKey(k)) return false;
    last = id;
    card.keys[id] = std::move(k);
  }
  return true;
}

bool ReadKeySlot(Reader& r, std::optional<RsaPrivateKey>& key_slot) {
  const uint8_t present = r.U8();
  if (present == 0) return r.ok();
  if (present != 1) return false;
  RsaPrivateKey key;
  r.Into(key.n);
  r.Into(key.d);
  r.Into(key.p);
  r.Into(key.q);
  r.Into(key.dp);
  r.Into(key.dq);
  r.Into(key.qinv);
  if (!r.ok() || !IsConsistent(key)) return false;
  key_slot = key;
  return true;
}

std::optional<Persistent> ReadBody(std::span<const uint8_t> body) {
  Reader r(body);
  Persistent card;
  card.key_write_ac = r.U8();
  if (!IsValidAccessCondition(card.key_write_ac)) return std::nullopt;
  const uint16_t files = r.U16();
  if (files == 0 || files > kMaxFiles) return std::nullopt;
  for (uint16_t i = 0; i < files; ++i)
    if (!ReadFile(r, card)) return std::nullopt;
  if (!ReadPassphrases(r, card) || !ReadKeys(r, card)) return std::nullopt;
  for (auto& key_slot : card.key_slots)
    if (!ReadKeySlot(r, key_slot)) return std::nullopt;
  if (!r.ok() || !r.AtEnd()) return std::nullopt;
  return card;
}

}  // namespace

std::optional<Persistent> ParseImage(std::span<const uint8_t> image) {
  if (image.size() < kImageHeaderLength + kImageDigestLength) return std::nullopt;
  if (!std::equal(kImageMagic.begin(), kImageMagic.end(), image.begin()) || image[4] != kImageVersion)
    return std::nullopt;
  const std::size_t body_length = static_cast<std::size_t>(image[5]) << 24 |
                                  static_cast<std::size_t>(image[6]) << 16 |
                                  static_cast<std::size_t>(image[7]) << 8 | image[8];
  if (body_length != image.size() - kImageHeaderLength - kImageDigestLength) return std::nullopt;
  const auto signed_part = image.first(kImageHeaderLength + body_length);
  std::array<uint8_t, kImageDigestLength> digest{};
  if (!ImageDigest(signed_part, digest) ||
      CRYPTO_memcmp(digest.data(), image.data() + signed_part.size(), kImageDigestLength) != 0)
    return std::nullopt;
  return ReadBody(image.subspan(kImageHeaderLength, body_length));
}

}  // namespace tarnwick::vcard
