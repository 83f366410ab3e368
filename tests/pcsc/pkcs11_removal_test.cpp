// The PKCS #11 module over a card in a PC/SC reader: a card pulled out ends
// the token's sessions with CKR_DEVICE_REMOVED, the slot then holds no
// token, and a card put back serves new sessions.
#include <gtest/gtest.h>

#include "cryptoki.h"
#include "served_card.h"

namespace {

TEST(Pkcs11Removal, CardPulledOutAndPutBack) {
  testos::SetVariable("TARNWICK_PKCS11_DRIVER", "usb");
  testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
  pcsctest::ServedCard card;
  ASSERT_TRUE(card.Insert());
  ASSERT_EQ(C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  CK_BYTE random[8];
  ASSERT_EQ(C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  ASSERT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_OK);

  ASSERT_TRUE(card.PullOut());
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_DEVICE_REMOVED);
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_SESSION_HANDLE_INVALID) << "the session ended";
  CK_TOKEN_INFO info;
  EXPECT_EQ(C_GetTokenInfo(1, &info), CKR_TOKEN_NOT_PRESENT);

  ASSERT_TRUE(card.Insert());
  ASSERT_EQ(C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_OK);
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
}

}  // namespace
