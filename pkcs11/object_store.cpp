// Objects of the token directory: which a session sees, their attributes,
// and key-pair generation, certificates, data objects, labels and
// identifiers written back to the card.
#include "object_store.h"

#include <algorithm>

#include <openssl/sha.h>

namespace tarnwick::pkcs11 {
namespace {

constexpr std::size_t kMaxFileBytes = 32768;  // the card's largest transparent EF
constexpr std::size_t kFileStep = 256;        // files are made a little larger, for reuse
constexpr std::size_t kMaxDataName = 255;     // a data file counts its application and identifier in a byte
constexpr uint8_t kPublicExponent[] = {0x01, 0x00, 0x01};

bool SameGeneration(const ObjectRef& ref, uint16_t generation) { return ref.generation == generation; }

bool Visible(const Slot& slot, const ObjectRef& ref) {
  const TokenDirectory& dir = slot.directory();
  switch (ref.kind) {
    case ObjectKind::kPrivateKey:
      return slot.login == Login::kUser && dir.keys[ref.entry].has_private &&
             SameGeneration(ref, dir.keys[ref.entry].generation);
    case ObjectKind::kPublicKey:
      return dir.keys[ref.entry].has_public && SameGeneration(ref, dir.keys[ref.entry].generation);
    default: {
      const FileEntry& entry = dir.files[ref.entry];
      const FileKind kind = ref.kind == ObjectKind::kCertificate ? FileKind::kCertificate : FileKind::kData;
      return entry.in_use && entry.kind == kind && SameGeneration(ref, entry.generation) &&
             (!entry.private_file || slot.login == Login::kUser);
    }
  }
}

std::optional<ObjectRef> VisibleRef(const Slot& slot, CK_OBJECT_HANDLE handle) {
  auto ref = DecodeHandle(handle);
  if (!ref || ref->slot != slot.index() || !Visible(slot, *ref)) return std::nullopt;
  return ref;
}

AttributeSet AttributesOf(const Slot& slot, const ObjectRef& ref) {
  const TokenDirectory& dir = slot.directory();
  switch (ref.kind) {
    case ObjectKind::kPrivateKey:
      return PrivateKeyAttributes(dir.keys[ref.entry]);
    case ObjectKind::kPublicKey:
      return PublicKeyAttributes(dir.keys[ref.entry]);
    case ObjectKind::kCertificate:
      return CertificateAttributes(dir.files[ref.entry], slot.FileContent(ref.entry));
    default:
      // A data file that does not parse shows as an empty object.
      return DataAttributes(dir.files[ref.entry], DecodeData(slot.FileContent(ref.entry)).value_or(DataContent{}));
  }
}

ObjectKind KindOf(const FileEntry& entry) {
  return entry.kind == FileKind::kCertificate ? ObjectKind::kCertificate : ObjectKind::kData;
}

CK_RV CheckIdAndLabel(const Template& values) {
  auto id = values.GetBytes(CKA_ID);
  auto label = values.GetBytes(CKA_LABEL);
  if ((id && id->size() > kMaxIdBytes) || (label && label->size() > kMaxLabelBytes)) return CKR_ATTRIBUTE_VALUE_INVALID;
  return CKR_OK;
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Key objects have fixed capabilities: a template may restate them but not
// ask for others.
CK_RV CheckFixedBooleans(const Template& values, const AttributeSet& fixed) {
  for (const CK_ATTRIBUTE& attribute : values.All()) {
    const Bytes* value = fixed.Find(attribute.type);
    if (value == nullptr || value->size() != sizeof(CK_BBOOL)) continue;
    if (!fixed.Matches({&attribute, 1})) return CKR_TEMPLATE_INCONSISTENT;
  }
  return CKR_OK;
}

CK_RV CheckKeyTemplates(const Template& public_values, const Template& private_values) {
  bool bad = false;
  auto bits = public_values.GetUlong(CKA_MODULUS_BITS, &bad);
  auto exponent = public_values.GetBytes(CKA_PUBLIC_EXPONENT);
  if (bad) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (bits && *bits != kKeyBits) return CKR_KEY_SIZE_RANGE;
  if (exponent) {
    auto first = std::find_if(exponent->begin(), exponent->end(), [](uint8_t b) { return b != 0; });
    if (!std::equal(first, exponent->end(), std::begin(kPublicExponent), std::end(kPublicExponent)))
      return CKR_ATTRIBUTE_VALUE_INVALID;
  }
  CK_RV rv = CheckIdAndLabel(public_values);
  if (rv == CKR_OK) rv = CheckIdAndLabel(private_values);
  const KeyEntry sample{true, true, 0, {}, {}, PublicRecord(Bytes(kModulusBytes, 0))};
  if (rv == CKR_OK) rv = CheckFixedBooleans(public_values, PublicKeyAttributes(sample));
  if (rv == CKR_OK) rv = CheckFixedBooleans(private_values, PrivateKeyAttributes(sample));
  return rv;
}

// Without an identifier, a key pair is named by the SHA-1 of its modulus,
// which certificates for it can then name too.
Bytes DefaultId(std::span<const uint8_t> modulus) {
  Bytes id(SHA_DIGEST_LENGTH);
  SHA1(modulus.data(), modulus.size(), id.data());
  return id;
}

// A free entry whose file is large enough and read under the same
// condition, else one without a file.
std::optional<std::size_t> FileEntryFor(const TokenDirectory& dir, std::size_t length, bool private_file) {
  for (std::size_t i = 0; i < kFileEntries; ++i) {
    const FileEntry& f = dir.files[i];
    if (!f.in_use && f.file != 0 && f.capacity >= length && f.private_file == private_file) return i;
  }
  for (std::size_t i = 0; i < kFileEntries; ++i) {
    if (!dir.files[i].in_use && dir.files[i].file == 0) return i;
  }
  return std::nullopt;
}

CK_RV WriteObjectFile(Slot& slot, FileEntry& entry, std::size_t index, const Bytes& content) {
  if (entry.file == 0) {
    const std::size_t capacity = std::min(
        kMaxFileBytes, std::max<std::size_t>(1, (content.size() + kFileStep - 1) / kFileStep) * kFileStep);
    const uint8_t file = static_cast<uint8_t>(kFirstObjectFile + index);
    const int32_t status = slot.card().CreateFile(file, static_cast<uint16_t>(capacity), entry.private_file);
    if (status != sw::kSuccess) return CardResult(status, CardCall::kCreateFile);
    entry.file = file;
    entry.capacity = static_cast<uint16_t>(capacity);
  }
  return CardResult(slot.card().WriteFile(entry.file, content));
}

// Writes an object's file, then the directory entry that names it.
CK_RV StoreFileObject(Slot& slot, FileKind kind, bool private_file, const Template& values, Bytes content,
                      CK_OBJECT_HANDLE* handle) {
  TokenDirectory dir = slot.directory();
  auto index = FileEntryFor(dir, content.size(), private_file);
  if (!index) return CKR_DEVICE_MEMORY;
  FileEntry& entry = dir.files[*index];
  entry.private_file = private_file;
  CK_RV rv = WriteObjectFile(slot, entry, *index, content);
  if (rv != CKR_OK) return rv;
  entry.in_use = true;
  entry.kind = kind;
  entry.length = static_cast<uint16_t>(content.size());
  ++entry.generation;
  entry.id = kind == FileKind::kCertificate ? values.GetBytes(CKA_ID).value_or(Bytes{}) : Bytes{};
  entry.label = Text(values.GetBytes(CKA_LABEL).value_or(Bytes{}));
  rv = slot.StoreDirectory(dir);
  if (rv != CKR_OK) return rv;
  slot.CacheFile(*index, std::move(content));
  *handle = HandleOf({slot.index(), KindOf(entry), *index, entry.generation});
  return CKR_OK;
}

CK_RV CreateCertificate(Slot& slot, const Template& values, CK_OBJECT_HANDLE* handle) {
  bool bad = false;
  auto type = values.GetUlong(CKA_CERTIFICATE_TYPE, &bad);
  auto der = values.GetBytes(CKA_VALUE);
  if (bad) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (!der) return CKR_TEMPLATE_INCOMPLETE;
  if (type && *type != CKC_X_509) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (der->size() > kMaxFileBytes || !ParseCertificate(*der)) return CKR_ATTRIBUTE_VALUE_INVALID;
  return StoreFileObject(slot, FileKind::kCertificate, false, values, std::move(*der), handle);
}

// A data object is public unless its template says otherwise.
CK_RV CreateData(Slot& slot, const Template& values, CK_OBJECT_HANDLE* handle) {
  bool bad = false;
  const bool is_private = values.GetBool(CKA_PRIVATE, &bad).value_or(false);
  DataContent data{values.GetBytes(CKA_APPLICATION).value_or(Bytes{}), values.GetBytes(CKA_OBJECT_ID).value_or(Bytes{}),
                   values.GetBytes(CKA_VALUE).value_or(Bytes{})};
  if (bad || data.application.size() > kMaxDataName || data.object_id.size() > kMaxDataName)
    return CKR_ATTRIBUTE_VALUE_INVALID;
  Bytes content = EncodeData(data);
  if (content.size() > kMaxFileBytes) return CKR_ATTRIBUTE_VALUE_INVALID;
  return StoreFileObject(slot, FileKind::kData, is_private, values, std::move(content), handle);
}

}  // namespace

CK_RV ObjectAttributes(const Slot& slot, CK_OBJECT_HANDLE handle, AttributeSet* out) {
  auto ref = VisibleRef(slot, handle);
  if (!ref) return CKR_OBJECT_HANDLE_INVALID;
  *out = AttributesOf(slot, *ref);
  return CKR_OK;
}

std::vector<CK_OBJECT_HANDLE> VisibleObjects(const Slot& slot) {
  std::vector<CK_OBJECT_HANDLE> handles;
  const TokenDirectory& dir = slot.directory();
  for (std::size_t entry = 0; entry < kKeySlots; ++entry) {
    for (ObjectKind kind : {ObjectKind::kPrivateKey, ObjectKind::kPublicKey}) {
      const ObjectRef ref{slot.index(), kind, entry, dir.keys[entry].generation};
      if (Visible(slot, ref)) handles.push_back(HandleOf(ref));
    }
  }
  for (std::size_t entry = 0; entry < kFileEntries; ++entry) {
    const ObjectRef ref{slot.index(), KindOf(dir.files[entry]), entry, dir.files[entry].generation};
    if (Visible(slot, ref)) handles.push_back(HandleOf(ref));
  }
  return handles;
}

CK_RV UsableKey(const Slot& slot, CK_OBJECT_HANDLE handle, bool needs_private, std::size_t* key) {
  auto ref = DecodeHandle(handle);
  if (ref && ref->slot == slot.index() && ref->kind == ObjectKind::kPrivateKey && slot.login != Login::kUser &&
      slot.directory().keys[ref->entry].has_private && SameGeneration(*ref, slot.directory().keys[ref->entry].generation))
    return CKR_USER_NOT_LOGGED_IN;
  ref = VisibleRef(slot, handle);
  if (!ref) return CKR_KEY_HANDLE_INVALID;
  if (ref->kind != ObjectKind::kPrivateKey && ref->kind != ObjectKind::kPublicKey) return CKR_KEY_TYPE_INCONSISTENT;
  if (needs_private && ref->kind != ObjectKind::kPrivateKey) return CKR_KEY_FUNCTION_NOT_PERMITTED;
  *key = ref->entry;
  return CKR_OK;
}

// A change starts from the card's directory as it is now, in the same
// burst of commands as its write: another program's change since the last
// read is never written over.
CK_RV MayChangeToken(Slot& slot, const Session& session) {
  if ((session.flags & CKF_RW_SESSION) == 0) return CKR_SESSION_READ_ONLY;
  if (slot.login != Login::kUser) return CKR_USER_NOT_LOGGED_IN;
  if (slot.damaged()) return CKR_DEVICE_ERROR;
  return slot.Refresh();
}

// A key pair shares one directory entry, so its two objects keep the same
// label and identifier.
CK_RV SetObjectAttributes(Slot& slot, CK_OBJECT_HANDLE handle, const Template& values) {
  auto ref = VisibleRef(slot, handle);
  if (!ref) return CKR_OBJECT_HANDLE_INVALID;
  for (const CK_ATTRIBUTE& attribute : values.All()) {
    if (attribute.type != CKA_ID && attribute.type != CKA_LABEL) return CKR_ATTRIBUTE_READ_ONLY;
  }
  CK_RV rv = CheckIdAndLabel(values);
  if (rv != CKR_OK) return rv;
  TokenDirectory dir = slot.directory();
  auto id = values.GetBytes(CKA_ID);
  auto label = values.GetBytes(CKA_LABEL);
  if (ref->kind == ObjectKind::kData && id) return CKR_ATTRIBUTE_TYPE_INVALID;
  if (ref->kind == ObjectKind::kCertificate || ref->kind == ObjectKind::kData) {
    FileEntry& entry = dir.files[ref->entry];
    if (id) entry.id = *id;
    if (label) entry.label = Text(*label);
  } else {
    KeyEntry& key = dir.keys[ref->entry];
    if (id) key.id = *id;
    if (label) key.label = Text(*label);
  }
  return slot.StoreDirectory(dir);
}

// A private key's key slot gets a throwaway key first, so the destroyed
// key can sign nothing more, whoever asks the card. The slot is free for
// the next generation once both objects of the pair are gone; a file stays
// for the next object that fits, since the card cannot delete files.
CK_RV DestroyObject(Slot& slot, CK_OBJECT_HANDLE handle) {
  auto ref = VisibleRef(slot, handle);
  if (!ref) return CKR_OBJECT_HANDLE_INVALID;
  TokenDirectory dir = slot.directory();
  if (ref->kind == ObjectKind::kCertificate || ref->kind == ObjectKind::kData) {
    FileEntry& entry = dir.files[ref->entry];
    entry = FileEntry{false, FileKind::kCertificate, entry.private_file, entry.file, entry.capacity, 0,
                      entry.generation, {}, {}};
    return slot.StoreDirectory(dir);
  }
  KeyEntry& key = dir.keys[ref->entry];
  if (ref->kind == ObjectKind::kPrivateKey) {
    std::array<uint8_t, kModulusBytes> discarded{};
    const CK_RV rv = CardResult(slot.card().GenerateKeyPair(static_cast<uint8_t>(ref->entry + 1), discarded),
                                CardCall::kGenerateKey);
    if (rv != CKR_OK) return rv;
    key.has_private = false;
  } else {
    key.has_public = false;
  }
  if (!key.in_use()) key = KeyEntry{false, false, key.generation, {}, {}, {}};
  return slot.StoreDirectory(dir);
}

CK_RV CreateObject(Slot& slot, const Template& values, CK_OBJECT_HANDLE* handle) {
  bool bad = false;
  auto object_class = values.GetUlong(CKA_CLASS, &bad);
  auto token = values.GetBool(CKA_TOKEN, &bad);
  if (bad) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (!object_class) return CKR_TEMPLATE_INCOMPLETE;
  if (token && !*token) return CKR_TEMPLATE_INCONSISTENT;  // only token objects
  CK_RV rv = CheckIdAndLabel(values);
  if (rv != CKR_OK) return rv;
  switch (*object_class) {
    case CKO_CERTIFICATE:
      return CreateCertificate(slot, values, handle);
    case CKO_DATA:
      return CreateData(slot, values, handle);
    case CKO_PRIVATE_KEY:
    case CKO_PUBLIC_KEY:
    case CKO_SECRET_KEY:
      // The card makes its keys itself and takes none from outside.
      return CKR_TEMPLATE_INCONSISTENT;
    default:
      return CKR_ATTRIBUTE_VALUE_INVALID;
  }
}

CK_RV GenerateKeyPair(Slot& slot, const Template& public_values, const Template& private_values,
                      CK_OBJECT_HANDLE* public_key, CK_OBJECT_HANDLE* private_key) {
  CK_RV rv = CheckKeyTemplates(public_values, private_values);
  if (rv != CKR_OK) return rv;
  TokenDirectory dir = slot.directory();
  auto free_slot = std::find_if(dir.keys.begin(), dir.keys.end(), [](const KeyEntry& k) { return !k.in_use(); });
  if (free_slot == dir.keys.end()) return CKR_DEVICE_MEMORY;
  const std::size_t entry = static_cast<std::size_t>(free_slot - dir.keys.begin());
  std::array<uint8_t, kModulusBytes> modulus{};
  rv = CardResult(slot.card().GenerateKeyPair(static_cast<uint8_t>(entry + 1), modulus), CardCall::kGenerateKey);
  if (rv != CKR_OK) return rv;
  KeyEntry& key = dir.keys[entry];
  key.has_private = key.has_public = true;
  ++key.generation;
  key.public_record = PublicRecord(modulus);
  auto id = private_values.GetBytes(CKA_ID);
  if (!id) id = public_values.GetBytes(CKA_ID);
  key.id = id ? *id : DefaultId(modulus);
  auto label = private_values.GetBytes(CKA_LABEL);
  if (!label) label = public_values.GetBytes(CKA_LABEL);
  key.label = Text(label.value_or(Bytes{}));
  rv = slot.StoreDirectory(dir);
  if (rv != CKR_OK) return rv;
  *public_key = HandleOf({slot.index(), ObjectKind::kPublicKey, entry, key.generation});
  *private_key = HandleOf({slot.index(), ObjectKind::kPrivateKey, entry, key.generation});
  return CKR_OK;
}

}  // namespace tarnwick::pkcs11
