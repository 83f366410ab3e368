// Choosing the locks as the standard asks: the operating system's when the
// application allows them or gives no callbacks, its callbacks otherwise.
#include "locking.h"

#include <mutex>

namespace tarnwick::pkcs11 {
namespace {

class OsLock final : public Lock {
 public:
  void Acquire() override { mutex_.lock(); }
  void Release() override { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// A lock the application's callbacks made; a failing lock callback leaves
// nothing to fall back on, so its result is not looked at.
class CallbackLock final : public Lock {
 public:
  CallbackLock(const CK_C_INITIALIZE_ARGS& calls, void* mutex) : calls_(calls), mutex_(mutex) {}
  ~CallbackLock() override { calls_.DestroyMutex(mutex_); }
  void Acquire() override { calls_.LockMutex(mutex_); }
  void Release() override { calls_.UnlockMutex(mutex_); }

 private:
  CK_C_INITIALIZE_ARGS calls_;
  void* mutex_;
};

}  // namespace

CK_RV LockFactory::FromArguments(const CK_C_INITIALIZE_ARGS* args, LockFactory* out) {
  *out = LockFactory{};
  if (args == nullptr) return CKR_OK;
  if (args->pReserved != nullptr) return CKR_ARGUMENTS_BAD;
  const int given = (args->CreateMutex != nullptr) + (args->DestroyMutex != nullptr) + (args->LockMutex != nullptr) +
                    (args->UnlockMutex != nullptr);
  if (given != 0 && given != 4) return CKR_ARGUMENTS_BAD;
  if (given == 4 && (args->flags & CKF_OS_LOCKING_OK) == 0) {
    out->calls_ = *args;
    out->use_callbacks_ = true;
  }
  return CKR_OK;
}

std::unique_ptr<Lock> LockFactory::Make() const {
  if (!use_callbacks_) return std::make_unique<OsLock>();
  void* mutex = nullptr;
  if (calls_.CreateMutex(&mutex) != CKR_OK) return nullptr;
  return std::make_unique<CallbackLock>(calls_, mutex);
}

}  // namespace tarnwick::pkcs11
