// The PKCS #11 module over a card in a PC/SC reader: a card pulled out ends
// the token's sessions with CKR_DEVICE_REMOVED, the slot then holds no
// token, and a card put back serves new sessions; a card another program
// resets keeps the token's login only while that costs no try.
#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include "cryptoki.h"
#include "served_card.h"

namespace {

// The module on the PC/SC driver, with a card served in the test reader.
class ServedToken : public testing::Test {
 protected:
  void SetUp() override {
    testos::SetVariable("TARNWICK_PKCS11_DRIVER", "usb");
    testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
    ASSERT_TRUE(card.Insert());
    ASSERT_EQ(C_Initialize(nullptr), CKR_OK);
  }

  pcsctest::ServedCard card;
};

TEST_F(ServedToken, CardPulledOutAndPutBack) {
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

// Another PC/SC client resets the card. The module verifies the kept PIN
// again while the counter is full, so the login outlives the reset; after
// a wrong try elsewhere it would spend a try more, so the next call fails
// and the token, logged out as the card is, takes a login again.
struct OtherProgram {
  const char* name;
  bool spends_a_try;
  CK_RV next_call;
  CK_STATE state_after;
};

class ServedTokenReset : public ServedToken, public testing::WithParamInterface<OtherProgram> {};

TEST_P(ServedTokenReset, CardResetByAnotherProgram) {
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
  if (GetParam().spends_a_try) {
    // VERIFY passphrase 01 with eight wrong bytes: the card answers 0x63C2.
    const BYTE verify[] = {0x00, 0x20, 0x00, 0x01, 0x08, 0, 0, 0, 0, 0, 0, 0, 0};
    BYTE answer[2];
    DWORD length = sizeof answer;
    const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    ASSERT_EQ(SCardTransmit(other, pci, verify, sizeof verify, nullptr, answer, &length), SCARD_S_SUCCESS);
    EXPECT_EQ(answer[0] << 8 | answer[1], 0x63C2);
  }
  EXPECT_EQ(SCardDisconnect(other, SCARD_RESET_CARD), SCARD_S_SUCCESS);
  SCardReleaseContext(context);

  CK_BYTE random[8];
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), GetParam().next_call);
  CK_SESSION_INFO info{};
  EXPECT_EQ(C_GetSessionInfo(session, &info), CKR_OK);
  EXPECT_EQ(info.state, GetParam().state_after);
  EXPECT_EQ(C_Login(session, CKU_USER, pin, 8),
            GetParam().state_after == CKS_RO_USER_FUNCTIONS ? CKR_USER_ALREADY_LOGGED_IN : CKR_OK);
  EXPECT_EQ(C_GenerateRandom(session, random, sizeof random), CKR_OK);
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
}

INSTANTIATE_TEST_SUITE_P(OtherPrograms, ServedTokenReset,
                         testing::Values(OtherProgram{"reset_only", false, CKR_OK, CKS_RO_USER_FUNCTIONS},
                                         OtherProgram{"wrong_try_then_reset", true, CKR_DEVICE_ERROR,
                                                      CKS_RO_PUBLIC_SESSION}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
