// C_Initialize and C_Finalize as the standard orders them: the locking
// arguments, calls outside an initialised module, concurrent first calls,
// and the application's mutex callbacks used for the module's locks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "cryptoki.h"

namespace {

std::atomic<int> g_created{0}, g_locked{0}, g_unlocked{0};

CK_RV CountingCreate(CK_VOID_PTR_PTR mutex) {
  ++g_created;
  *mutex = new std::mutex;
  return CKR_OK;
}
CK_RV CountingDestroy(CK_VOID_PTR mutex) {
  delete static_cast<std::mutex*>(mutex);
  return CKR_OK;
}
CK_RV CountingLock(CK_VOID_PTR mutex) {
  ++g_locked;
  static_cast<std::mutex*>(mutex)->lock();
  return CKR_OK;
}
CK_RV CountingUnlock(CK_VOID_PTR mutex) {
  ++g_unlocked;
  static_cast<std::mutex*>(mutex)->unlock();
  return CKR_OK;
}

CK_C_INITIALIZE_ARGS Callbacks(CK_FLAGS flags) {
  CK_C_INITIALIZE_ARGS args{};
  args.CreateMutex = CountingCreate;
  args.DestroyMutex = CountingDestroy;
  args.LockMutex = CountingLock;
  args.UnlockMutex = CountingUnlock;
  args.flags = flags;
  return args;
}

TEST(Lifecycle, InitializeArgumentsChooseTheLocks) {
  int reserved = 0;
  CK_C_INITIALIZE_ARGS partial = Callbacks(0);
  partial.UnlockMutex = nullptr;
  CK_C_INITIALIZE_ARGS with_reserved{};
  with_reserved.pReserved = &reserved;
  CK_C_INITIALIZE_ARGS os_only{};
  os_only.flags = CKF_OS_LOCKING_OK;
  CK_C_INITIALIZE_ARGS callbacks_only = Callbacks(0);
  CK_C_INITIALIZE_ARGS callbacks_or_os = Callbacks(CKF_OS_LOCKING_OK);
  const struct {
    const char* what;
    CK_C_INITIALIZE_ARGS* args;
    CK_RV rv;
    bool uses_callbacks;
  } cases[] = {
      {"no arguments", nullptr, CKR_OK, false},
      {"operating system locks", &os_only, CKR_OK, false},
      {"callbacks only", &callbacks_only, CKR_OK, true},
      {"callbacks or operating system locks", &callbacks_or_os, CKR_OK, false},
      {"some callbacks", &partial, CKR_ARGUMENTS_BAD, false},
      {"pReserved set", &with_reserved, CKR_ARGUMENTS_BAD, false},
  };
  for (const auto& c : cases) {
    g_created = g_locked = g_unlocked = 0;
    ASSERT_EQ(C_Initialize(c.args), c.rv) << c.what;
    if (c.rv != CKR_OK) continue;
    CK_ULONG count = 0;
    EXPECT_EQ(C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK) << c.what;
    EXPECT_EQ(count, 4u) << c.what;
    EXPECT_EQ(C_Finalize(nullptr), CKR_OK) << c.what;
    EXPECT_EQ(g_created > 0, c.uses_callbacks) << c.what;
    EXPECT_EQ(g_locked > 0, c.uses_callbacks) << c.what;
    EXPECT_EQ(g_locked.load(), g_unlocked.load()) << c.what;
  }
}

TEST(Lifecycle, CallsOutsideAnInitialisedModule) {
  CK_ULONG count = 0;
  CK_INFO info;
  EXPECT_EQ(C_GetSlotList(CK_FALSE, nullptr, &count), CKR_CRYPTOKI_NOT_INITIALIZED);
  EXPECT_EQ(C_GetInfo(&info), CKR_CRYPTOKI_NOT_INITIALIZED);
  EXPECT_EQ(C_CloseSession(0x01000001), CKR_CRYPTOKI_NOT_INITIALIZED);
  EXPECT_EQ(C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
  ASSERT_EQ(C_Initialize(nullptr), CKR_OK);
  EXPECT_EQ(C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
  int reserved = 0;
  EXPECT_EQ(C_Finalize(&reserved), CKR_ARGUMENTS_BAD);
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
  EXPECT_EQ(C_GetInfo(&info), CKR_CRYPTOKI_NOT_INITIALIZED);
}

// Many threads initialise at once: one succeeds, the others are told it is
// done; then they share the four slots, each thread its own session.
TEST(Lifecycle, ConcurrentFirstCallsAndSharedSlots) {
  constexpr int kThreads = 8;
  CK_C_INITIALIZE_ARGS args = Callbacks(0);
  g_locked = g_unlocked = 0;
  std::atomic<int> ok{0}, already{0}, failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const CK_RV rv = C_Initialize(&args);
      (rv == CKR_OK ? ok : rv == CKR_CRYPTOKI_ALREADY_INITIALIZED ? already : failures)++;
      CK_SESSION_HANDLE session = 0;
      while (C_OpenSession(1 + t % 4, CKF_SERIAL_SESSION, nullptr, nullptr, &session) == CKR_CRYPTOKI_NOT_INITIALIZED) {
        std::this_thread::yield();
      }
      for (int i = 0; i < 20; ++i) {
        CK_BYTE random[24];
        CK_TOKEN_INFO info;
        if (C_GenerateRandom(session, random, sizeof random) != CKR_OK) ++failures;
        if (C_GetTokenInfo(1 + t % 4, &info) != CKR_OK) ++failures;
      }
      if (C_CloseSession(session) != CKR_OK) ++failures;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ok.load(), 1);
  EXPECT_EQ(already.load(), kThreads - 1);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(C_Finalize(nullptr), CKR_OK);
  EXPECT_GT(g_locked.load(), 0);
  EXPECT_EQ(g_locked.load(), g_unlocked.load());
}

}  // namespace

namespace stress {

constexpr CK_SLOT_ID kSlots[] = {1, 2};
CK_BYTE kPin[] = "12345678";

struct KeyPair {
  CK_OBJECT_HANDLE public_key = 0, private_key = 0;
};

// A key pair on the slot's card and a session that keeps the token logged
// in for the whole run: every thread's own login is then already done.
// Cards that outlive C_Finalize (in memory on Windows, where the driver
// stays loaded) keep the pairs of earlier runs.
KeyPair PrepareSlot(CK_SLOT_ID slot, CK_SESSION_HANDLE* keeper) {
  EXPECT_EQ(C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, keeper), CKR_OK);
  EXPECT_EQ(C_Login(*keeper, CKU_USER, kPin, 8), CKR_OK);
  CK_MECHANISM generate{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
  KeyPair pair;
  EXPECT_EQ(C_GenerateKeyPair(*keeper, &generate, nullptr, 0, nullptr, 0, &pair.public_key, &pair.private_key),
            CKR_OK);
  return pair;
}

// One thread's round: a session of its own, the shared login, a search,
// a signature checked against the public key, random bytes, the session's
// state. Returns the number of answers that were not the expected ones.
int Round(CK_SLOT_ID slot, const KeyPair& pair, int salt) {
  int wrong = 0;
  auto check = [&](CK_RV got, CK_RV want) { wrong += got != want; };
  CK_SESSION_HANDLE session = 0;
  check(C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session), CKR_OK);
  check(C_Login(session, CKU_USER, kPin, 8), CKR_USER_ALREADY_LOGGED_IN);
  CK_OBJECT_CLASS klass = CKO_PRIVATE_KEY;
  CK_ATTRIBUTE pattern{CKA_CLASS, &klass, sizeof klass};
  CK_OBJECT_HANDLE keys[4];
  CK_ULONG found = 0;
  check(C_FindObjectsInit(session, &pattern, 1), CKR_OK);
  check(C_FindObjects(session, keys, 4, &found), CKR_OK);
  check(C_FindObjectsFinal(session), CKR_OK);
  wrong += std::find(keys, keys + found, pair.private_key) == keys + found;
  CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
  CK_BYTE data[40] = {static_cast<CK_BYTE>(salt), static_cast<CK_BYTE>(slot)};
  CK_BYTE signature[128];
  CK_ULONG length = sizeof signature;
  check(C_SignInit(session, &mechanism, pair.private_key), CKR_OK);
  check(C_Sign(session, data, sizeof data, signature, &length), CKR_OK);
  check(C_VerifyInit(session, &mechanism, pair.public_key), CKR_OK);
  check(C_Verify(session, data, sizeof data, signature, length), CKR_OK);
  CK_BYTE random[16];
  check(C_GenerateRandom(session, random, sizeof random), CKR_OK);
  CK_SESSION_INFO info{};
  check(C_GetSessionInfo(session, &info), CKR_OK);
  wrong += info.state != CKS_RO_USER_FUNCTIONS || info.slotID != slot;
  check(C_CloseSession(session), CKR_OK);
  return wrong;
}

}  // namespace stress

// Eight threads on two slots, with each way of locking: sessions, logins,
// searches, signatures and random bytes interleave, and every answer is
// the one a lone caller would get.
TEST(Lifecycle, ThreadsShareTwoSlotsUnderEitherLocking) {
  CK_C_INITIALIZE_ARGS os_locks{};
  os_locks.flags = CKF_OS_LOCKING_OK;
  CK_C_INITIALIZE_ARGS callbacks = Callbacks(0);
  const struct {
    const char* what;
    CK_C_INITIALIZE_ARGS* args;
  } models[] = {{"operating system locks", &os_locks}, {"application callbacks", &callbacks}};
  for (const auto& model : models) {
    ASSERT_EQ(C_Initialize(model.args), CKR_OK) << model.what;
    CK_SESSION_HANDLE keepers[2];
    stress::KeyPair pairs[2];
    for (int s = 0; s < 2; ++s) pairs[s] = stress::PrepareSlot(stress::kSlots[s], &keepers[s]);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < 12; ++i) wrong += stress::Round(stress::kSlots[t % 2], pairs[t % 2], t * 16 + i);
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0) << model.what;
    for (CK_SESSION_HANDLE keeper : keepers) EXPECT_EQ(C_CloseSession(keeper), CKR_OK) << model.what;
    EXPECT_EQ(C_Finalize(nullptr), CKR_OK) << model.what;
  }
}
