// Object handles and the attribute sets of the four kinds of object.
#include "objects.h"

#include <memory>

#include <openssl/x509.h>

#include "card_link.h"
#include "common/openssl_owned.h"

namespace tarnwick::pkcs11 {
namespace {

constexpr int kSlotShift = 28;
constexpr int kKindShift = 24;
constexpr int kEntryShift = 16;
constexpr CK_OBJECT_HANDLE kNibble = 0xF;
constexpr CK_OBJECT_HANDLE kByte = 0xFF;
constexpr CK_OBJECT_HANDLE kGenerationMask = 0xFFFF;

Bytes Copy(std::span<const uint8_t> bytes) { return Bytes(bytes.begin(), bytes.end()); }

void CommonKeyAttributes(AttributeSet& set, const KeyEntry& key, CK_OBJECT_CLASS object_class, bool is_private) {
  set.SetUlong(CKA_CLASS, object_class);
  set.SetBool(CKA_TOKEN, true);
  set.SetBool(CKA_PRIVATE, is_private);
  set.SetBool(CKA_MODIFIABLE, true);
  set.SetText(CKA_LABEL, key.label);
  set.SetUlong(CKA_KEY_TYPE, CKK_RSA);
  set.Set(CKA_ID, key.id);
  set.Set(CKA_START_DATE, {});
  set.Set(CKA_END_DATE, {});
  set.Set(CKA_SUBJECT, {});
  set.SetBool(CKA_DERIVE, false);
  set.SetBool(CKA_LOCAL, true);
  set.SetUlong(CKA_KEY_GEN_MECHANISM, CKM_RSA_PKCS_KEY_PAIR_GEN);
  set.Set(CKA_MODULUS, Copy(RecordModulus(key.public_record)));
  set.Set(CKA_PUBLIC_EXPONENT, Copy(RecordExponent(key.public_record)));
}

template <class T, class Encoder>
Bytes Der(const T* value, Encoder encode) {
  unsigned char* out = nullptr;
  const int n = encode(value, &out);
  if (n <= 0) return {};
  Bytes bytes(out, out + n);
  OPENSSL_free(out);
  return bytes;
}

}  // namespace

CK_OBJECT_HANDLE HandleOf(const ObjectRef& ref) {
  return (static_cast<CK_OBJECT_HANDLE>(ref.slot + 1) << kSlotShift) |
         (static_cast<CK_OBJECT_HANDLE>(ref.kind) << kKindShift) |
         (static_cast<CK_OBJECT_HANDLE>(ref.entry + 1) << kEntryShift) | ref.generation;
}

std::optional<ObjectRef> DecodeHandle(CK_OBJECT_HANDLE handle) {
  const CK_OBJECT_HANDLE slot = handle >> kSlotShift;
  const CK_OBJECT_HANDLE kind = (handle >> kKindShift) & kNibble;
  const CK_OBJECT_HANDLE entry = (handle >> kEntryShift) & kByte;
  if (slot == 0 || slot > kNibble || entry == 0)
    return std::nullopt;
  ObjectRef ref{static_cast<std::size_t>(slot - 1), ObjectKind::kPrivateKey, static_cast<std::size_t>(entry - 1),
                static_cast<uint16_t>(handle & kGenerationMask)};
  switch (kind) {
    case 1:
    case 2:
      ref.kind = static_cast<ObjectKind>(kind);
      return ref.entry < kKeySlots ? std::optional(ref) : std::nullopt;
    case 3:
    case 4:
      ref.kind = static_cast<ObjectKind>(kind);
      return ref.entry < kFileEntries ? std::optional(ref) : std::nullopt;
    default:
      return std::nullopt;
  }
}

// The private values exist on the card and never leave it.
AttributeSet PrivateKeyAttributes(const KeyEntry& key) {
  AttributeSet set;
  CommonKeyAttributes(set, key, CKO_PRIVATE_KEY, true);
  set.SetBool(CKA_SENSITIVE, true);
  set.SetBool(CKA_ALWAYS_SENSITIVE, true);
  set.SetBool(CKA_EXTRACTABLE, false);
  set.SetBool(CKA_NEVER_EXTRACTABLE, true);
  set.SetBool(CKA_DECRYPT, true);
  set.SetBool(CKA_SIGN, true);
  set.SetBool(CKA_SIGN_RECOVER, false);
  set.SetBool(CKA_UNWRAP, false);
  set.SetBool(CKA_WRAP_WITH_TRUSTED, false);
  set.SetBool(CKA_ALWAYS_AUTHENTICATE, false);
  for (CK_ATTRIBUTE_TYPE type :
       {CKA_PRIVATE_EXPONENT, CKA_PRIME_1, CKA_PRIME_2, CKA_EXPONENT_1, CKA_EXPONENT_2, CKA_COEFFICIENT}) {
    set.SetSensitive(type);
  }
  return set;
}

AttributeSet PublicKeyAttributes(const KeyEntry& key) {
  AttributeSet set;
  CommonKeyAttributes(set, key, CKO_PUBLIC_KEY, false);
  set.SetBool(CKA_ENCRYPT, true);
  set.SetBool(CKA_VERIFY, true);
  set.SetBool(CKA_VERIFY_RECOVER, false);
  set.SetBool(CKA_WRAP, false);
  set.SetBool(CKA_TRUSTED, false);
  set.SetUlong(CKA_MODULUS_BITS, kKeyBits);
  return set;
}

AttributeSet CertificateAttributes(const FileEntry& cert, const Bytes& der) {
  AttributeSet set;
  set.SetUlong(CKA_CLASS, CKO_CERTIFICATE);
  set.SetBool(CKA_TOKEN, true);
  set.SetBool(CKA_PRIVATE, false);
  set.SetBool(CKA_MODIFIABLE, true);
  set.SetText(CKA_LABEL, cert.label);
  set.SetUlong(CKA_CERTIFICATE_TYPE, CKC_X_509);
  set.SetBool(CKA_TRUSTED, false);
  set.SetUlong(CKA_CERTIFICATE_CATEGORY, 0);
  set.Set(CKA_START_DATE, {});
  set.Set(CKA_END_DATE, {});
  set.Set(CKA_ID, cert.id);
  set.Set(CKA_VALUE, der);
  if (auto names = ParseCertificate(der)) {
    set.Set(CKA_SUBJECT, std::move(names->subject));
    set.Set(CKA_ISSUER, std::move(names->issuer));
    set.Set(CKA_SERIAL_NUMBER, std::move(names->serial));
  }
  return set;
}

AttributeSet DataAttributes(const FileEntry& entry, const DataContent& data) {
  AttributeSet set;
  set.SetUlong(CKA_CLASS, CKO_DATA);
  set.SetBool(CKA_TOKEN, true);
  set.SetBool(CKA_PRIVATE, entry.private_file);
  set.SetBool(CKA_MODIFIABLE, true);
  set.SetText(CKA_LABEL, entry.label);
  set.Set(CKA_APPLICATION, data.application);
  set.Set(CKA_OBJECT_ID, data.object_id);
  set.Set(CKA_VALUE, data.value);
  return set;
}

std::optional<CertificateNames> ParseCertificate(const Bytes& der) {
  // d2i_X509 reads through a pointer it advances: where it stops tells
  // whether the certificate filled the bytes.
  const unsigned char* in = der.data();
  openssl::Owned<X509> x509(d2i_X509(nullptr, &in, static_cast<long>(der.size())));
  if (!x509 || in != der.data() + der.size()) return std::nullopt;
  CertificateNames names;
  names.subject = Der(X509_get_subject_name(x509.get()), i2d_X509_NAME);
  names.issuer = Der(X509_get_issuer_name(x509.get()), i2d_X509_NAME);
  names.serial = Der(X509_get0_serialNumber(x509.get()), i2d_ASN1_INTEGER);
  if (names.subject.empty() || names.issuer.empty() || names.serial.empty()) return std::nullopt;
  return names;
}

}  // namespace tarnwick::pkcs11
