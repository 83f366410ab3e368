// After fork() the child must initialise again: its copy of the module
// answers CKR_CRYPTOKI_NOT_INITIALIZED. The lifecycle lock is taken across
// fork, so no call is half done in the copy the child leaves behind.
#include <pthread.h>

#include <mutex>

#include "module.h"

namespace tarnwick::pkcs11 {
namespace {

void BeforeFork() { LifecycleLock().lock(); }
void InParent() { LifecycleLock().unlock(); }
void InChild() { AbandonModuleAfterFork(); }

}  // namespace

void InstallForkHandlers() {
  static std::once_flag once;
  std::call_once(once, [] { pthread_atfork(BeforeFork, InParent, InChild); });
}

}  // namespace tarnwick::pkcs11
