// The default profile of a fresh card (docs/virtual-card.md lists it).
#include "profile.h"

#include "access.h"

namespace tarnwick::vcard {
namespace {

File Directory(uint16_t fid, uint16_t parent, uint8_t create_ac, uint8_t erase_ac) {
  File f;
  f.fid = fid;
  f.parent = parent;
  f.type = FileType::kDirectory;
  f.create_ac = create_ac;
  f.erase_ac = erase_ac;
  return f;
}

File Transparent(uint16_t fid, std::size_t size, uint8_t read_ac, uint8_t update_ac) {
  File f;
  f.fid = fid;
  f.parent = kMasterFile;
  f.type = FileType::kTransparent;
  f.read_ac = read_ac;
  f.update_ac = update_ac;
  f.body.assign(size, 0x00);
  return f;
}

File Records(uint16_t fid, uint8_t sfi, uint8_t max_records, uint8_t max_length) {
  File f;
  f.fid = fid;
  f.parent = kMasterFile;
  f.type = FileType::kLinearVariable;
  f.sfi = sfi;
  f.max_records = max_records;
  f.max_record_length = max_length;
  return f;
}

template <std::size_t N>
std::array<uint8_t, N> Ascii(const char (&text)[N + 1]) {
  std::array<uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<uint8_t>(text[i]);
  return out;
}

// The card's serial number: readable by anyone, changed by nobody.
File Identity(const std::array<uint8_t, 8>& serial) {
  File f = Transparent(0x0003, 8, kAlways, kNever);
  f.body.assign(serial.begin(), serial.end());
  return f;
}

Passphrase CardholderPassphrase() {
  Passphrase p;
  p.value = Ascii<8>("12345678");
  p.tries_max = p.tries_left = 3;
  p.unblock = Ascii<8>("87654321");
  p.unblock_max = p.unblock_left = 10;
  return p;
}

}  // namespace

Persistent DefaultProfile(const std::optional<std::array<uint8_t, 8>>& serial) {
  Persistent card;
  card.files.push_back(Directory(kMasterFile, kNoParent, kAlways, AfterPassphrase(0x01)));
  card.files.push_back(Transparent(0x0001, 32768, kAlways, kAlways));
  card.files.push_back(Records(0x0002, 2, 32, 250));
  card.files.push_back(Transparent(0x0004, 64, kAlways, AfterPassphrase(0x01)));
  card.files.push_back(Transparent(0x0005, 64, kAlways, AfterExternalAuth(0x01)));
  card.files.push_back(Transparent(0x0010, 256, kAlways, kAlways));
  if (serial) card.files.push_back(Identity(*serial));
  card.key_write_ac = AfterPassphrase(0x01);
  card.passphrases[0x01] = CardholderPassphrase();
  card.keys[0x01] =
      Key{KeyType::kTripleDes,
          kUsageExternalAuth,
          {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}};
  card.keys[0x02] = Key{KeyType::kDes, kUsageExternalAuth, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  return card;
}

}  // namespace tarnwick::vcard
