// The PKCS #11 module over a card in a PC/SC reader: a card pulled out ends
// the token's sessions with CKR_DEVICE_REMOVED, the slot then holds no
// token, and a card put back serves new sessions; a card another program
// resets logs the token out.
#include <PCSC/winscard.h>
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

// Another PC/SC client resets the card: the module's next call fails, and
// the token, logged out as the card is, takes a login again.
TEST(Pkcs11Removal, CardResetByAnotherProgram) {
  testos::SetVariable("TARNWICK_PKCS11_DRIVER", "usb");
  testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
  pcsctest::ServedCard card;
  ASSERT_TRUE(card.Insert());
  ASSERT_EQ(C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  CK_UTF8CHAR pin[] = "12345678";
  ASSERT_EQ(C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  ASSERT_EQ(C_Login(session, CKU_USER, pin, 8), CKR_OK);

  SCARDCONTEXT context = 0;
  SCARDHANDLE other = 0;
  DWORD protocol = 0;
  ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  std::string reader = pcsctest::kTestReader;
  ASSERT_EQ(SCardConnect(context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &other,
                         &protocol),
            SCARD_S_SUCCESS);
  EXPECT_EQ(SCardDisconnect(other, SCARD_RESET_CARD), SCARD_S_SUCCESS);
  SCardReleaseContext(context);

  CK_BYTE random[8];
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_DEVICE_ERROR);
  CK_SESSION_INFO info{};
  EXPECT_EQ(C_GetSessionInfo(session, &info), CKR_OK);
  EXPECT_EQ(info.state, static_cast<CK_STATE>(CKS_RO_PUBLIC_SESSION)) << "the login ended with the card's";
  EXPECT_EQ(C_Login(session, CKU_USER, pin, 8), CKR_OK);
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_OK);
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
}

}  // namespace
