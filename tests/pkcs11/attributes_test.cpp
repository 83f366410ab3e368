// C_GetAttributeValue's rules and template matching on the module's key
// objects.
#include <gtest/gtest.h>

#include <cstring>

#include "objects.h"

namespace tarnwick::pkcs11 {
namespace {

KeyEntry Key() { return {true, true, 1, {0x42}, "card key", PublicRecord(std::vector<uint8_t>(128, 0xC3))}; }

TEST(Attributes, GetAttributeValueRules) {
  const AttributeSet key = PrivateKeyAttributes(Key());
  uint8_t buffer[200];
  const struct {
    const char* what;
    CK_ATTRIBUTE_TYPE type;
    bool with_buffer;
    CK_ULONG room;
    CK_RV rv;
    CK_ULONG length;
  } cases[] = {
      {"size query", CKA_MODULUS, false, 0, CKR_OK, 128},
      {"exact room", CKA_MODULUS, true, 128, CKR_OK, 128},
      {"too small", CKA_MODULUS, true, 127, CKR_BUFFER_TOO_SMALL, CK_UNAVAILABLE_INFORMATION},
      {"sensitive", CKA_PRIVATE_EXPONENT, true, 200, CKR_ATTRIBUTE_SENSITIVE, CK_UNAVAILABLE_INFORMATION},
      {"sensitive size query", CKA_PRIME_1, false, 0, CKR_ATTRIBUTE_SENSITIVE, CK_UNAVAILABLE_INFORMATION},
      {"not an RSA private key's", CKA_VALUE, true, 200, CKR_ATTRIBUTE_TYPE_INVALID, CK_UNAVAILABLE_INFORMATION},
      {"empty value", CKA_SUBJECT, true, 200, CKR_OK, 0},
  };
  for (const auto& c : cases) {
    CK_ATTRIBUTE request{c.type, c.with_buffer ? buffer : nullptr, c.room};
    EXPECT_EQ(key.CopyOut({&request, 1}), c.rv) << c.what;
    EXPECT_EQ(request.ulValueLen, c.length) << c.what;
  }
  // One bad attribute does not keep the others from being answered.
  CK_BBOOL sign = CK_FALSE;
  CK_ATTRIBUTE mixed[] = {{CKA_COEFFICIENT, buffer, 64}, {CKA_SIGN, &sign, sizeof sign}};
  EXPECT_EQ(key.CopyOut(mixed), CKR_ATTRIBUTE_SENSITIVE);
  EXPECT_EQ(sign, CK_TRUE);
}

TEST(Attributes, KeyObjectsMatchTemplates) {
  const KeyEntry entry = Key();
  const AttributeSet private_key = PrivateKeyAttributes(entry);
  const AttributeSet public_key = PublicKeyAttributes(entry);
  CK_OBJECT_CLASS private_class = CKO_PRIVATE_KEY;
  CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
  uint8_t id = 0x42, other_id = 0x43;
  const struct {
    const char* what;
    std::vector<CK_ATTRIBUTE> pattern;
    bool private_matches, public_matches;
  } cases[] = {
      {"everything", {}, true, true},
      {"class and id", {{CKA_CLASS, &private_class, sizeof private_class}, {CKA_ID, &id, 1}}, true, false},
      {"other id", {{CKA_ID, &other_id, 1}}, false, false},
      {"sign", {{CKA_SIGN, &yes, 1}}, true, false},
      {"never extractable", {{CKA_NEVER_EXTRACTABLE, &yes, 1}, {CKA_EXTRACTABLE, &no, 1}}, true, false},
      {"verify", {{CKA_VERIFY, &yes, 1}}, false, true},
      {"sensitive value never matches", {{CKA_PRIVATE_EXPONENT, &id, 1}}, false, false},
      {"value of another size", {{CKA_CLASS, &private_class, sizeof(CK_ULONG) - 1}}, false, false},
      {"label", {{CKA_LABEL, const_cast<char*>("card key"), 8}}, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(private_key.Matches(c.pattern), c.private_matches) << c.what;
    EXPECT_EQ(public_key.Matches(c.pattern), c.public_matches) << c.what;
  }
}

TEST(Attributes, TemplatesAreCheckedForShape) {
  CK_BBOOL yes = CK_TRUE;
  CK_ULONG bits = 1024;
  CK_ATTRIBUTE attributes[] = {{CKA_TOKEN, &yes, sizeof yes}, {CKA_MODULUS_BITS, &bits, 2}};
  const Template values(attributes, 2);
  bool bad = false;
  EXPECT_EQ(values.GetBool(CKA_TOKEN, &bad), true);
  EXPECT_FALSE(bad);
  EXPECT_FALSE(values.GetUlong(CKA_MODULUS_BITS, &bad));
  EXPECT_TRUE(bad);
  CK_ATTRIBUTE no_value{CKA_LABEL, nullptr, 4};
  EXPECT_FALSE(Template(&no_value, 1).Valid());
  EXPECT_TRUE(Template(nullptr, 0).Valid());
}

TEST(Attributes, HandlesNameSlotKindAndEntry) {
  for (ObjectKind kind : {ObjectKind::kPrivateKey, ObjectKind::kPublicKey, ObjectKind::kCertificate}) {
    const ObjectRef ref{3, kind, 2};
    auto back = DecodeHandle(HandleOf(ref));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->slot, 3u);
    EXPECT_EQ(back->kind, kind);
    EXPECT_EQ(back->entry, 2u);
  }
  EXPECT_FALSE(DecodeHandle(CK_INVALID_HANDLE));
  EXPECT_FALSE(DecodeHandle(HandleOf({0, ObjectKind::kPrivateKey, kKeySlots})));
  EXPECT_FALSE(DecodeHandle(0x10401));
}

}  // namespace
}  // namespace tarnwick::pkcs11
