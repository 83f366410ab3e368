// After fork() the child finds the module not initialised until it calls
// C_Initialize itself; then it reaches the cards again, and the parent
// keeps working.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "cryptoki.h"

namespace {

// The child's findings as an exit code: 0 when all is as expected.
int ChildChecks(CK_SESSION_HANDLE inherited) {
  CK_ULONG count = 0;
  CK_TOKEN_INFO info;
  if (C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_CRYPTOKI_NOT_INITIALIZED) return 1;
  if (C_CloseSession(inherited) != CKR_CRYPTOKI_NOT_INITIALIZED) return 2;
  if (C_Initialize(nullptr) != CKR_OK) return 3;
  if (C_GetTokenInfo(1, &info) != CKR_OK) return 4;
  if (C_GetSessionInfo(inherited, nullptr) != CKR_SESSION_HANDLE_INVALID) return 5;
  return C_Finalize(nullptr) == CKR_OK ? 0 : 6;
}

TEST(Fork, ChildMustInitialiseAgain) {
  ASSERT_EQ(C_Initialize(nullptr), CKR_OK);
  CK_SESSION_HANDLE session = 0;
  ASSERT_EQ(C_OpenSession(1, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) _exit(ChildChecks(session));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  CK_SESSION_INFO info;
  EXPECT_EQ(C_GetSessionInfo(session, &info), CKR_OK) << "the parent's session goes on";
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
}

}  // namespace
