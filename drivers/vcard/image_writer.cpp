// Writing the card image: header, contents in a fixed order, digest.
#include <openssl/evp.h>

#include "image.h"
#include "image_format.h"

namespace tarnwick::vcard {
namespace {

class Writer {
 public:
  // The image is written in one go: its size is known closely enough up
  // front that the buffer never grows.
  explicit Writer(std::size_t expected_size) { out_.reserve(expected_size); }

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
  }
  void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  std::vector<uint8_t>& out() { return out_; }

 private:
  std::vector<uint8_t> out_;
};

void WriteFile(Writer& w, const File& f) {
  w.U16(f.fid);
  w.U16(f.parent);
  w.U8(static_cast<uint8_t>(f.type));
  w.U8(f.sfi);
  const bool is_df = f.type == FileType::kDirectory;
  w.U8(is_df ? f.create_ac : f.read_ac);
  w.U8(is_df ? f.erase_ac : f.update_ac);
  if (f.type == FileType::kTransparent) {
    w.U16(static_cast<uint16_t>(f.body.size()));
    w.Bytes(f.body);
  } else if (f.type == FileType::kLinearVariable) {
    w.U8(f.max_records);
    w.U8(f.max_record_length);
    w.U8(static_cast<uint8_t>(f.records.size()));
    for (const std::vector<uint8_t>& r : f.records) {
      w.U8(static_cast<uint8_t>(r.size()));
      w.Bytes(r);
    }
  }
}

void WritePassphrase(Writer& w, uint8_t ref, const Passphrase& p) {
  w.U8(ref);
  w.Bytes(p.value);
  w.U8(p.tries_max);
  w.U8(p.tries_left);
  w.Bytes(p.unblock);
  w.U8(p.unblock_max);
  w.U8(p.unblock_left);
}

void WriteKey(Writer& w, uint8_t id, const Key& k) {
  w.U8(id);
  w.U8(static_cast<uint8_t>(k.type));
  w.U8(k.usage);
  w.Bytes(k.value);
}

void WriteKeySlot(Writer& w, const std::optional<RsaPrivateKey>& key) {
  w.U8(key ? 1 : 0);
  if (!key) return;
  w.Bytes(key->n);
  w.Bytes(key->d);
  w.Bytes(key->p);
  w.Bytes(key->q);
  w.Bytes(key->dp);
  w.Bytes(key->dq);
  w.Bytes(key->qinv);
}

// Bytes for the bookkeeping around contents: counts, identifiers, access
// conditions, lengths, passphrases, keys and the key slots.
constexpr std::size_t kBookkeepingPerFile = 16;
constexpr std::size_t kBookkeepingElsewhere = 4096;

std::size_t ExpectedBodySize(const Persistent& card) {
  std::size_t size = kBookkeepingElsewhere;
  for (const File& f : card.files) {
    size += kBookkeepingPerFile + f.body.size();
    for (const std::vector<uint8_t>& r : f.records) size += 1 + r.size();
  }
  return size;
}

std::vector<uint8_t> Body(const Persistent& card) {
  Writer w(ExpectedBodySize(card));
  w.U8(card.key_write_ac);
  w.U16(static_cast<uint16_t>(card.files.size()));
  for (const File& f : card.files) WriteFile(w, f);
  w.U8(static_cast<uint8_t>(card.passphrases.size()));
  for (const auto& [ref, p] : card.passphrases) WritePassphrase(w, ref, p);
  w.U8(static_cast<uint8_t>(card.keys.size()));
  for (const auto& [id, k] : card.keys) WriteKey(w, id, k);
  for (const auto& key_slot : card.key_slots) WriteKeySlot(w, key_slot);
  return std::move(w.out());
}

}  // namespace

std::vector<uint8_t> SerializeImage(const Persistent& card) {
  const std::vector<uint8_t> body = Body(card);
  Writer w(kImageMagic.size() + 1 + 4 + body.size() + kImageDigestLength);
  w.Bytes(kImageMagic);
  w.U8(kImageVersion);
  w.U32(static_cast<uint32_t>(body.size()));
  w.Bytes(body);
  std::array<uint8_t, kImageDigestLength> digest{};
  ImageDigest(w.out(), digest);
  w.Bytes(digest);
  return std::move(w.out());
}

}  // namespace tarnwick::vcard
