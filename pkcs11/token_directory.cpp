// Encoding and decoding of the token directory, both versions. Every field
// has a fixed place, so the file never changes size and a damaged one is
// refused whole.
#include "token_directory.h"

#include <algorithm>

namespace tarnwick::pkcs11 {
namespace {

constexpr uint8_t kMagic[4] = {'T', 'W', 'T', 'D'};
// Version 1: one in-use flag per key pair, whole public-key records, no
// counters. Version 2: the pair's objects apart, generation and change
// counters, certificates and data objects; it takes the bytes version 1
// spent on the records' fixed prefix and exponent.
constexpr uint8_t kVersion1 = 0x01;
constexpr uint8_t kVersion2 = 0x02;
constexpr std::size_t kModulusBytes = record::kCardModulusBytes;

constexpr uint8_t kV1InUse = 0x01;
constexpr uint8_t kKeyPrivate = 0x01;
constexpr uint8_t kKeyPublic = 0x02;
constexpr uint8_t kFileInUse = 0x01;
constexpr uint8_t kFileData = 0x02;
constexpr uint8_t kFilePrivate = 0x04;

constexpr std::size_t kCountedId = 1 + kMaxIdBytes;
constexpr std::size_t kCountedLabel = 1 + kMaxLabelBytes;
constexpr std::size_t kV1HeaderBytes = sizeof kMagic + 1 + kTokenLabelBytes + kSerialBytes;
constexpr std::size_t kV1KeyBytes = 1 + kCountedId + kCountedLabel + kPublicRecordBytes;
constexpr std::size_t kV1FileBytes = 1 + 1 + 2 + 2 + kCountedId + kCountedLabel;
constexpr std::size_t kV2KeyBytes = 1 + 2 + kCountedId + kCountedLabel + kModulusBytes;
constexpr std::size_t kV2FileBytes = 1 + 1 + 2 + 2 + 2 + kCountedId + kCountedLabel;
static_assert(kDirectoryHeaderBytes == kV1HeaderBytes + 4);
static_assert(kDirectoryBytes == kV1HeaderBytes + kKeySlots * kV1KeyBytes + kFileEntries * kV1FileBytes);
static_assert(kDirectoryBytes == kDirectoryHeaderBytes + kKeySlots * kV2KeyBytes + kFileEntries * kV2FileBytes);

class Writer {
 public:
  void Byte(uint8_t b) { out_.push_back(b); }
  void Word(uint16_t w) {
    Byte(static_cast<uint8_t>(w >> 8));
    Byte(static_cast<uint8_t>(w));
  }
  void Long(uint32_t v) {
    Word(static_cast<uint16_t>(v >> 16));
    Word(static_cast<uint16_t>(v));
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

// Reads past the end give zeros and mark the reader short, so a caller
// checks once at the end.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  bool Short() const { return short_; }
  uint8_t Byte() {
    if (pos_ >= in_.size()) {
      short_ = true;
      return 0;
    }
    return in_[pos_++];
  }
  uint16_t Word() {
    const uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }
  uint32_t Long() {
    const uint32_t high = Word();
    return high << 16 | Word();
  }
  std::span<const uint8_t> Raw(std::size_t n) {
    if (in_.size() - pos_ < n) {
      short_ = true;
      pos_ = in_.size();
      return {};
    }
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
    if (n > width || field.size() != width) return std::nullopt;
    return std::vector<uint8_t>(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
  }

 private:
  std::span<const uint8_t> in_;
  std::size_t pos_ = 0;
  bool short_ = false;
};

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Identifier and label, shared by every kind of entry.
bool ReadNames(Reader& in, std::vector<uint8_t>* id, std::string* label) {
  auto read_id = in.Counted(kMaxIdBytes);
  auto read_label = in.Counted(kMaxLabelBytes);
  if (!read_id || !read_label) return false;
  *id = std::move(*read_id);
  label->assign(read_label->begin(), read_label->end());
  return true;
}

std::optional<KeyEntry> ReadKeyV1(Reader& in) {
  KeyEntry key;
  const uint8_t flags = in.Byte();
  const bool names = ReadNames(in, &key.id, &key.label);
  auto public_record = in.Raw(kPublicRecordBytes);
  if (flags > kV1InUse || !names) return std::nullopt;
  if (flags == 0) return KeyEntry{};
  if (!record::IsCardRecord(public_record)) return std::nullopt;
  key.has_private = key.has_public = true;
  std::copy(public_record.begin(), public_record.end(), key.public_record.begin());
  return key;
}

std::optional<KeyEntry> ReadKeyV2(Reader& in) {
  KeyEntry key;
  const uint8_t flags = in.Byte();
  key.generation = in.Word();
  const bool names = ReadNames(in, &key.id, &key.label);
  auto modulus = in.Raw(kModulusBytes);
  if ((flags & ~(kKeyPrivate | kKeyPublic)) != 0 || !names || modulus.size() != kModulusBytes) return std::nullopt;
  key.has_private = (flags & kKeyPrivate) != 0;
  key.has_public = (flags & kKeyPublic) != 0;
  if (!key.in_use()) return KeyEntry{false, false, key.generation, {}, {}, {}};
  key.public_record = PublicRecord(modulus);
  return key;
}

// What both versions require of a file entry.
std::optional<FileEntry> CheckFile(FileEntry entry) {
  if (entry.length > entry.capacity || (entry.file == 0 && (entry.capacity != 0 || entry.private_file)))
    return std::nullopt;
  if (entry.file != 0 && (entry.file < kFirstObjectFile || entry.file >= kFirstObjectFile + kFileEntries))
    return std::nullopt;
  if (!entry.in_use) return FileEntry{false, FileKind::kCertificate, entry.private_file, entry.file,
                                      entry.capacity, 0, entry.generation, {}, {}};
  if (entry.file == 0 || (entry.kind == FileKind::kCertificate && (entry.length == 0 || entry.private_file)))
    return std::nullopt;
  return entry;
}

std::optional<FileEntry> ReadFileV1(Reader& in) {
  FileEntry entry;
  const uint8_t flags = in.Byte();
  entry.file = in.Byte();
  entry.capacity = in.Word();
  entry.length = in.Word();
  if (!ReadNames(in, &entry.id, &entry.label) || flags > kV1InUse) return std::nullopt;
  entry.in_use = flags == kV1InUse;
  return CheckFile(std::move(entry));
}

std::optional<FileEntry> ReadFileV2(Reader& in) {
  FileEntry entry;
  const uint8_t flags = in.Byte();
  entry.file = in.Byte();
  entry.capacity = in.Word();
  entry.length = in.Word();
  entry.generation = in.Word();
  if (!ReadNames(in, &entry.id, &entry.label) || (flags & ~(kFileInUse | kFileData | kFilePrivate)) != 0)
    return std::nullopt;
  entry.in_use = (flags & kFileInUse) != 0;
  entry.kind = (flags & kFileData) != 0 ? FileKind::kData : FileKind::kCertificate;
  entry.private_file = (flags & kFilePrivate) != 0;
  return CheckFile(std::move(entry));
}

template <class Entries, class ReadOne>
bool ReadEntries(Reader& in, Entries& entries, ReadOne read) {
  for (auto& entry : entries) {
    auto decoded = read(in);
    if (!decoded) return false;
    entry = std::move(*decoded);
  }
  return true;
}

void WriteKey(Writer& out, const KeyEntry& key) {
  out.Byte(static_cast<uint8_t>((key.has_private ? kKeyPrivate : 0) | (key.has_public ? kKeyPublic : 0)));
  out.Word(key.generation);
  out.Counted(key.in_use() ? std::span<const uint8_t>(key.id) : std::span<const uint8_t>(), kMaxIdBytes);
  out.Counted(key.in_use() ? Bytes(key.label) : std::span<const uint8_t>(), kMaxLabelBytes);
  const std::array<uint8_t, kPublicRecordBytes> none{};
  out.Raw(RecordModulus(key.in_use() ? key.public_record : none));
}

void WriteFile(Writer& out, const FileEntry& entry) {
  uint8_t flags = entry.private_file ? kFilePrivate : 0;
  if (entry.in_use) flags |= kFileInUse | (entry.kind == FileKind::kData ? kFileData : 0);
  out.Byte(flags);
  out.Byte(entry.file);
  out.Word(entry.capacity);
  out.Word(entry.in_use ? entry.length : 0);
  out.Word(entry.generation);
  out.Counted(entry.in_use ? std::span<const uint8_t>(entry.id) : std::span<const uint8_t>(), kMaxIdBytes);
  out.Counted(entry.in_use ? Bytes(entry.label) : std::span<const uint8_t>(), kMaxLabelBytes);
}

}  // namespace

std::vector<uint8_t> EncodeDirectory(const TokenDirectory& directory) {
  Writer out;
  out.Raw(kMagic);
  out.Byte(kVersion2);
  out.Padded(directory.label, kTokenLabelBytes);
  out.Padded(directory.serial, kSerialBytes);
  out.Long(directory.changes.value_or(0));
  for (const KeyEntry& key : directory.keys) WriteKey(out, key);
  for (const FileEntry& entry : directory.files) WriteFile(out, entry);
  return out.Take();
}

std::optional<DirectoryHeader> DecodeDirectoryHeader(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  // A card may answer fewer bytes than asked: the magic is compared only
  // when it is all there.
  const std::span<const uint8_t> magic = in.Raw(sizeof kMagic);
  if (in.Short() || !std::equal(std::begin(kMagic), std::end(kMagic), magic.begin())) return std::nullopt;
  const uint8_t version = in.Byte();
  if (version != kVersion1 && version != kVersion2) return std::nullopt;
  DirectoryHeader header;
  header.label = in.Padded(kTokenLabelBytes);
  header.serial = in.Padded(kSerialBytes);
  if (version == kVersion2) header.changes = in.Long();
  if (in.Short()) return std::nullopt;
  return header;
}

std::optional<TokenDirectory> DecodeDirectory(std::span<const uint8_t> bytes) {
  if (bytes.size() != kDirectoryBytes) return std::nullopt;
  auto header = DecodeDirectoryHeader(bytes);
  if (!header) return std::nullopt;
  TokenDirectory directory;
  directory.label = std::move(header->label);
  directory.serial = std::move(header->serial);
  directory.changes = header->changes;
  const bool v2 = header->changes.has_value();
  Reader in(bytes.subspan(v2 ? kDirectoryHeaderBytes : kV1HeaderBytes));
  const bool keys = v2 ? ReadEntries(in, directory.keys, ReadKeyV2) : ReadEntries(in, directory.keys, ReadKeyV1);
  const bool files =
      keys && (v2 ? ReadEntries(in, directory.files, ReadFileV2) : ReadEntries(in, directory.files, ReadFileV1));
  if (!files || in.Short()) return std::nullopt;
  return directory;
}

std::array<uint8_t, kPublicRecordBytes> PublicRecord(std::span<const uint8_t> modulus) {
  std::array<uint8_t, kModulusBytes> padded{};
  std::copy_n(modulus.begin(), std::min(modulus.size(), kModulusBytes), padded.begin());
  return record::CardRecord(padded);
}

std::span<const uint8_t> RecordModulus(const std::array<uint8_t, kPublicRecordBytes>& public_record) {
  return std::span<const uint8_t>(public_record).subspan(record::kModulusOffset, kModulusBytes);
}

std::span<const uint8_t> RecordExponent(const std::array<uint8_t, kPublicRecordBytes>& public_record) {
  return std::span<const uint8_t>(public_record).last(record::kExponent.size());
}

std::vector<uint8_t> EncodeData(const DataContent& data) {
  Writer out;
  out.Byte(static_cast<uint8_t>(data.application.size()));
  out.Raw(data.application);
  out.Byte(static_cast<uint8_t>(data.object_id.size()));
  out.Raw(data.object_id);
  out.Raw(data.value);
  return out.Take();
}

std::optional<DataContent> DecodeData(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  DataContent data;
  auto application = in.Raw(in.Byte());
  auto object_id = in.Raw(in.Byte());
  if (in.Short()) return std::nullopt;
  data.application.assign(application.begin(), application.end());
  data.object_id.assign(object_id.begin(), object_id.end());
  const std::size_t used = 2 + application.size() + object_id.size();
  data.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end());
  return data;
}

}  // namespace tarnwick::pkcs11
