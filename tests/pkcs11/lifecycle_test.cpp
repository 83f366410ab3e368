// C_Initialize and C_Finalize as the standard orders them: the locking
// arguments, calls outside an initialised module, concurrent first calls,
// and the application's mutex callbacks used for the module's locks.
#include <gtest/gtest.h>

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
