// Objects of the token directory: which a session sees, their attributes,
// and key-pair generation, certificates, labels and identifiers written
// back to the card.
#include "object_store.h"

#include <algorithm>

#include <openssl/sha.h>

namespace tarnwick::pkcs11 {
namespace {

constexpr std::size_t kMaxCertificateBytes = 32768;  // the card's largest transparent EF
constexpr std::size_t kCertificateFileStep = 256;    // files are made a little larger, for reuse
constexpr uint8_t kPublicExponent[] = {0x01, 0x00, 0x01};
constexpr CK_ULONG kModulusBits = 1024;

bool Visible(const Slot& slot, const ObjectRef& ref) {
  const TokenDirectory& dir = slot.directory();
  switch (ref.kind) {
    case ObjectKind::kPrivateKey:
      return slot.login == Login::kUser && dir.keys[ref.entry].in_use;
    case ObjectKind::kPublicKey:
      return dir.keys[ref.entry].in_use;
    default:
      return dir.certificates[ref.entry].in_use;
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
    default:
      return CertificateAttributes(dir.certificates[ref.entry], slot.CertificateDer(ref.entry));
  }
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
  if (bad || (bits && *bits != kModulusBits)) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (exponent) {
    auto first = std::find_if(exponent->begin(), exponent->end(), [](uint8_t b) { return b != 0; });
    if (!std::equal(first, exponent->end(), std::begin(kPublicExponent), std::end(kPublicExponent)))
      return CKR_ATTRIBUTE_VALUE_INVALID;
  }
  CK_RV rv = CheckIdAndLabel(public_values);
  if (rv == CKR_OK) rv = CheckIdAndLabel(private_values);
  const KeyEntry sample{true, {}, {}, PublicRecord(Bytes(kModulusBytes, 0))};
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

// A free entry whose file is large enough, else one without a file.
std::optional<std::size_t> CertificateEntryFor(const TokenDirectory& dir, std::size_t length) {
  for (std::size_t i = 0; i < kCertificateEntries; ++i) {
    const CertificateEntry& c = dir.certificates[i];
    if (!c.in_use && c.file != 0 && c.capacity >= length) return i;
  }
  for (std::size_t i = 0; i < kCertificateEntries; ++i) {
    if (!dir.certificates[i].in_use && dir.certificates[i].file == 0) return i;
  }
  return std::nullopt;
}

CK_RV WriteCertificateFile(Slot& slot, CertificateEntry& entry, std::size_t index, const Bytes& der) {
  if (entry.file == 0) {
    const std::size_t capacity =
        std::min(kMaxCertificateBytes, (der.size() + kCertificateFileStep - 1) / kCertificateFileStep * kCertificateFileStep);
    const uint8_t file = static_cast<uint8_t>(kFirstCertificateFile + index);
    const int32_t status = slot.card().CreateFile(file, static_cast<uint16_t>(capacity));
    if (status == 0x6A84) return CKR_DEVICE_MEMORY;
    if (status != sw::kOk) return CardResult(status);
    entry.file = file;
    entry.capacity = static_cast<uint16_t>(capacity);
  }
  return CardResult(slot.card().WriteFile(entry.file, der));
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
  for (ObjectKind kind : {ObjectKind::kPrivateKey, ObjectKind::kPublicKey, ObjectKind::kCertificate}) {
    const std::size_t entries = kind == ObjectKind::kCertificate ? kCertificateEntries : kKeySlots;
    for (std::size_t entry = 0; entry < entries; ++entry) {
      const ObjectRef ref{slot.index(), kind, entry};
      if (Visible(slot, ref)) handles.push_back(HandleOf(ref));
    }
  }
  return handles;
}

CK_RV UsableKey(const Slot& slot, CK_OBJECT_HANDLE handle, bool needs_private, std::size_t* key) {
  auto ref = DecodeHandle(handle);
  if (ref && ref->slot == slot.index() && ref->kind == ObjectKind::kPrivateKey && slot.login != Login::kUser &&
      slot.directory().keys[ref->entry].in_use)
    return CKR_USER_NOT_LOGGED_IN;
  ref = VisibleRef(slot, handle);
  if (!ref) return CKR_KEY_HANDLE_INVALID;
  if (ref->kind == ObjectKind::kCertificate) return CKR_KEY_TYPE_INCONSISTENT;
  if (needs_private && ref->kind != ObjectKind::kPrivateKey) return CKR_KEY_FUNCTION_NOT_PERMITTED;
  *key = ref->entry;
  return CKR_OK;
}

CK_RV MayChangeToken(const Slot& slot, const Session& session) {
  if ((session.flags & CKF_RW_SESSION) == 0) return CKR_SESSION_READ_ONLY;
  if (slot.login != Login::kUser) return CKR_USER_NOT_LOGGED_IN;
  return slot.damaged() ? CKR_DEVICE_ERROR : CKR_OK;
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
  if (ref->kind == ObjectKind::kCertificate) {
    CertificateEntry& cert = dir.certificates[ref->entry];
    if (id) cert.id = *id;
    if (label) cert.label = Text(*label);
  } else {
    KeyEntry& key = dir.keys[ref->entry];
    if (id) key.id = *id;
    if (label) key.label = Text(*label);
  }
  return slot.StoreDirectory(dir);
}

// A key's card slot is freed for the next generation; a certificate's file
// stays, for the next certificate that fits.
CK_RV DestroyObject(Slot& slot, CK_OBJECT_HANDLE handle) {
  auto ref = VisibleRef(slot, handle);
  if (!ref) return CKR_OBJECT_HANDLE_INVALID;
  TokenDirectory dir = slot.directory();
  if (ref->kind == ObjectKind::kCertificate) {
    CertificateEntry& cert = dir.certificates[ref->entry];
    cert = CertificateEntry{false, cert.file, cert.capacity, 0, {}, {}};
  } else {
    dir.keys[ref->entry] = KeyEntry{};
  }
  return slot.StoreDirectory(dir);
}

CK_RV CreateCertificate(Slot& slot, const Template& values, CK_OBJECT_HANDLE* handle) {
  bool bad = false;
  auto object_class = values.GetUlong(CKA_CLASS, &bad);
  auto type = values.GetUlong(CKA_CERTIFICATE_TYPE, &bad);
  auto token = values.GetBool(CKA_TOKEN, &bad);
  auto der = values.GetBytes(CKA_VALUE);
  if (bad) return CKR_ATTRIBUTE_VALUE_INVALID;
  if (!object_class || !der) return CKR_TEMPLATE_INCOMPLETE;
  if (*object_class != CKO_CERTIFICATE || (type && *type != CKC_X_509) || (token && !*token))
    return CKR_ATTRIBUTE_VALUE_INVALID;
  if (der->size() > kMaxCertificateBytes || !ParseCertificate(*der)) return CKR_ATTRIBUTE_VALUE_INVALID;
  CK_RV rv = CheckIdAndLabel(values);
  if (rv != CKR_OK) return rv;
  TokenDirectory dir = slot.directory();
  auto index = CertificateEntryFor(dir, der->size());
  if (!index) return CKR_DEVICE_MEMORY;
  CertificateEntry& entry = dir.certificates[*index];
  rv = WriteCertificateFile(slot, entry, *index, *der);
  if (rv != CKR_OK) return rv;
  entry.in_use = true;
  entry.length = static_cast<uint16_t>(der->size());
  entry.id = values.GetBytes(CKA_ID).value_or(Bytes{});
  entry.label = Text(values.GetBytes(CKA_LABEL).value_or(Bytes{}));
  rv = slot.StoreDirectory(dir);
  if (rv != CKR_OK) return rv;
  slot.CacheCertificate(*index, std::move(*der));
  *handle = HandleOf({slot.index(), ObjectKind::kCertificate, *index});
  return CKR_OK;
}

CK_RV GenerateKeyPair(Slot& slot, const Template& public_values, const Template& private_values,
                      CK_OBJECT_HANDLE* public_key, CK_OBJECT_HANDLE* private_key) {
  CK_RV rv = CheckKeyTemplates(public_values, private_values);
  if (rv != CKR_OK) return rv;
  TokenDirectory dir = slot.directory();
  auto free_slot = std::find_if(dir.keys.begin(), dir.keys.end(), [](const KeyEntry& k) { return !k.in_use; });
  if (free_slot == dir.keys.end()) return CKR_DEVICE_MEMORY;
  const std::size_t entry = static_cast<std::size_t>(free_slot - dir.keys.begin());
  std::array<uint8_t, kModulusBytes> modulus{};
  rv = CardResult(slot.card().GenerateKeyPair(static_cast<uint8_t>(entry + 1), modulus));
  if (rv != CKR_OK) return rv;
  KeyEntry& key = dir.keys[entry];
  key.in_use = true;
  key.public_record = PublicRecord(modulus);
  auto id = private_values.GetBytes(CKA_ID);
  if (!id) id = public_values.GetBytes(CKA_ID);
  key.id = id ? *id : DefaultId(modulus);
  auto label = private_values.GetBytes(CKA_LABEL);
  if (!label) label = public_values.GetBytes(CKA_LABEL);
  key.label = Text(label.value_or(Bytes{}));
  rv = slot.StoreDirectory(dir);
  if (rv != CKR_OK) return rv;
  *public_key = HandleOf({slot.index(), ObjectKind::kPublicKey, entry});
  *private_key = HandleOf({slot.index(), ObjectKind::kPrivateKey, entry});
  return CKR_OK;
}

}  // namespace tarnwick::pkcs11
