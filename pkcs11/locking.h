// The locks the module takes: the operating system's, or the mutex
// callbacks the application handed to C_Initialize.
#pragma once

#include <memory>

#include "cryptoki.h"

namespace tarnwick::pkcs11 {

class Lock {
 public:
  virtual ~Lock() = default;
  virtual void Acquire() = 0;
  virtual void Release() = 0;
};

class LockFactory {
 public:
  // Reads C_Initialize's arguments: CKR_ARGUMENTS_BAD when the callbacks
  // are only partly given or pReserved is set.
  static CK_RV FromArguments(const CK_C_INITIALIZE_ARGS* args, LockFactory* out);
  // nullptr when the application's CreateMutex fails.
  std::unique_ptr<Lock> Make() const;

 private:
  bool use_callbacks_ = false;
  CK_C_INITIALIZE_ARGS calls_{};
};

class Hold {
 public:
  explicit Hold(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  ~Hold() { lock_.Release(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  Lock& lock_;
};

}  // namespace tarnwick::pkcs11
