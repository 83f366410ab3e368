// Encoding and decoding of the token directory. Every field has a fixed
// place, so the file never changes size and a damaged one is refused whole.
#include "token_directory.h"

#include <algorithm>

namespace tarnwick::pkcs11 {
namespace {

constexpr uint8_t kMagic[4] = {'T', 'W', 'T', 'D'};
constexpr uint8_t kVersion = 0x01;
constexpr uint8_t kFree = 0x00;
constexpr uint8_t kInUse = 0x01;
constexpr uint8_t kRecordPrefix[2] = {0x6E, 0x80};
constexpr uint8_t kRecordExponent[5] = {0x65, 0x03, 0x01, 0x00, 0x01};
constexpr std::size_t kKeyEntryBytes = 1 + (1 + kMaxIdBytes) + (1 + kMaxLabelBytes) + kPublicRecordBytes;
constexpr std::size_t kCertificateEntryBytes = 1 + 1 + 2 + 2 + (1 + kMaxIdBytes) + (1 + kMaxLabelBytes);
static_assert(kDirectoryHeaderBytes == sizeof kMagic + 1 + kTokenLabelBytes + kSerialBytes);
static_assert(kDirectoryBytes ==
              kDirectoryHeaderBytes + kKeySlots * kKeyEntryBytes + kCertificateEntries * kCertificateEntryBytes);

class Writer {
 public:
  void Byte(uint8_t b) { out_.push_back(b); }
  void Word(uint16_t w) {
    Byte(static_cast<uint8_t>(w >> 8));
    Byte(static_cast<uint8_t>(w));
  }
  void Raw(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // Text padded with spaces to its field, as token labels are.
  void Padded(const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) Byte(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
  }
  // A length byte, then the value zero-padded to its field.
  void Counted(std::span<const uint8_t> value, std::size_t width) {
    const std::size_t n = std::min(value.size(), width);
    Byte(static_cast<uint8_t>(n));
    Raw(value.first(n));
    out_.resize(out_.size() + width - n, 0);
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  uint8_t Byte() { return in_[pos_++]; }
  uint16_t Word() {
    const uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }
  std::span<const uint8_t> Raw(std::size_t n) {
    auto bytes = in_.subspan(pos_, n);
    pos_ += n;
    return bytes;
  }
  std::string Padded(std::size_t width) {
    auto bytes = Raw(width);
    std::string text(bytes.begin(), bytes.end());
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  std::optional<std::vector<uint8_t>> Counted(std::size_t width) {
    const std::size_t n = Byte();
    auto field = Raw(width);
    if (n > width) return std::nullopt;
    return std::vector<uint8_t>(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
  }

 private:
  std::span<const uint8_t> in_;
  std::size_t pos_ = 0;
};

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool IsCardRecord(std::span<const uint8_t> record) {
  return std::equal(std::begin(kRecordPrefix), std::end(kRecordPrefix), record.begin()) &&
         std::equal(std::begin(kRecordExponent), std::end(kRecordExponent), record.end() - sizeof kRecordExponent);
}

std::optional<KeyEntry> ReadKey(Reader& in) {
  KeyEntry key;
  const uint8_t flags = in.Byte();
  auto id = in.Counted(kMaxIdBytes);
  auto label = in.Counted(kMaxLabelBytes);
  auto record = in.Raw(kPublicRecordBytes);
  if (flags > kInUse || !id || !label) return std::nullopt;
  if (flags == kFree) return KeyEntry{};
  if (!IsCardRecord(record)) return std::nullopt;
  key.in_use = true;
  key.id = std::move(*id);
  key.label.assign(label->begin(), label->end());
  std::copy(record.begin(), record.end(), key.public_record.begin());
  return key;
}

std::optional<CertificateEntry> ReadCertificate(Reader& in) {
  CertificateEntry cert;
  const uint8_t flags = in.Byte();
  cert.file = in.Byte();
  cert.capacity = in.Word();
  cert.length = in.Word();
  auto id = in.Counted(kMaxIdBytes);
  auto label = in.Counted(kMaxLabelBytes);
  if (flags > kInUse || !id || !label) return std::nullopt;
  if (cert.length > cert.capacity || (cert.file == 0 && cert.capacity != 0)) return std::nullopt;
  if (flags == kFree) return CertificateEntry{false, cert.file, cert.capacity, 0, {}, {}};
  if (cert.file == 0 || cert.length == 0) return std::nullopt;
  cert.in_use = true;
  cert.id = std::move(*id);
  cert.label.assign(label->begin(), label->end());
  return cert;
}

}  // namespace

std::vector<uint8_t> EncodeDirectory(const TokenDirectory& directory) {
  Writer out;
  out.Raw(kMagic);
  out.Byte(kVersion);
  out.Padded(directory.label, kTokenLabelBytes);
  out.Padded(directory.serial, kSerialBytes);
  for (const KeyEntry& key : directory.keys) {
    out.Byte(key.in_use ? kInUse : kFree);
    out.Counted(key.in_use ? std::span<const uint8_t>(key.id) : std::span<const uint8_t>(), kMaxIdBytes);
    out.Counted(key.in_use ? Bytes(key.label) : std::span<const uint8_t>(), kMaxLabelBytes);
    std::array<uint8_t, kPublicRecordBytes> none{};
    out.Raw(key.in_use ? key.public_record : none);
  }
  for (const CertificateEntry& cert : directory.certificates) {
    out.Byte(cert.in_use ? kInUse : kFree);
    out.Byte(cert.file);
    out.Word(cert.capacity);
    out.Word(cert.in_use ? cert.length : 0);
    out.Counted(cert.in_use ? std::span<const uint8_t>(cert.id) : std::span<const uint8_t>(), kMaxIdBytes);
    out.Counted(cert.in_use ? Bytes(cert.label) : std::span<const uint8_t>(), kMaxLabelBytes);
  }
  return out.Take();
}

std::optional<DirectoryHeader> DecodeDirectoryHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kDirectoryHeaderBytes) return std::nullopt;
  Reader in(bytes);
  if (!std::equal(std::begin(kMagic), std::end(kMagic), in.Raw(sizeof kMagic).begin())) return std::nullopt;
  if (in.Byte() != kVersion) return std::nullopt;
  DirectoryHeader header;
  header.label = in.Padded(kTokenLabelBytes);
  header.serial = in.Padded(kSerialBytes);
  return header;
}

std::optional<TokenDirectory> DecodeDirectory(std::span<const uint8_t> bytes) {
  if (bytes.size() != kDirectoryBytes) return std::nullopt;
  auto header = DecodeDirectoryHeader(bytes);
  if (!header) return std::nullopt;
  TokenDirectory directory;
  directory.label = std::move(header->label);
  directory.serial = std::move(header->serial);
  Reader in(bytes.subspan(kDirectoryHeaderBytes));
  for (KeyEntry& key : directory.keys) {
    auto entry = ReadKey(in);
    if (!entry) return std::nullopt;
    key = std::move(*entry);
  }
  for (CertificateEntry& cert : directory.certificates) {
    auto entry = ReadCertificate(in);
    if (!entry) return std::nullopt;
    cert = std::move(*entry);
  }
  return directory;
}

std::array<uint8_t, kPublicRecordBytes> PublicRecord(std::span<const uint8_t> modulus) {
  std::array<uint8_t, kPublicRecordBytes> record{};
  auto at = std::copy(std::begin(kRecordPrefix), std::end(kRecordPrefix), record.begin());
  at = std::copy_n(modulus.begin(), std::min<std::size_t>(modulus.size(), 128), at);
  std::copy(std::begin(kRecordExponent), std::end(kRecordExponent), at);
  return record;
}

std::span<const uint8_t> RecordModulus(const std::array<uint8_t, kPublicRecordBytes>& record) {
  return std::span<const uint8_t>(record).subspan(sizeof kRecordPrefix, 128);
}

std::span<const uint8_t> RecordExponent(const std::array<uint8_t, kPublicRecordBytes>& record) {
  return std::span<const uint8_t>(record).last(3);
}

}  // namespace tarnwick::pkcs11
