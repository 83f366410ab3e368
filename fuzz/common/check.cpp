// Failure reporting for the harnesses.
#include "common/check.h"

#include <cstdio>
#include <cstdlib>

namespace twfuzz {
namespace {

const char* g_context = "";

}  // namespace

void SetCheckContext(const char* context) { g_context = context; }

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s [%s]\n", what, g_context);
  std::fflush(stderr);
  std::abort();
}

}  // namespace twfuzz
