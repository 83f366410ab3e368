// The debug log's lines: the C_* function, its result by name, the card's
// last status word; written to standard error or appended to a file.
#include "debug_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "card_link.h"

namespace tarnwick::pkcs11 {
namespace {

constexpr const char* kVariable = "TARNWICK_PKCS11_DEBUG";

struct ResultRow {
  CK_RV rv;
  const char* name;
};

#define TW_RESULT(name) {name, #name}
constexpr ResultRow kResults[] = {
    TW_RESULT(CKR_OK), TW_RESULT(CKR_CANCEL), TW_RESULT(CKR_HOST_MEMORY), TW_RESULT(CKR_SLOT_ID_INVALID),
    TW_RESULT(CKR_GENERAL_ERROR), TW_RESULT(CKR_FUNCTION_FAILED), TW_RESULT(CKR_ARGUMENTS_BAD),
    TW_RESULT(CKR_NO_EVENT), TW_RESULT(CKR_CANT_LOCK), TW_RESULT(CKR_ATTRIBUTE_READ_ONLY),
    TW_RESULT(CKR_ATTRIBUTE_SENSITIVE), TW_RESULT(CKR_ATTRIBUTE_TYPE_INVALID), TW_RESULT(CKR_ATTRIBUTE_VALUE_INVALID),
    TW_RESULT(CKR_DATA_INVALID), TW_RESULT(CKR_DATA_LEN_RANGE), TW_RESULT(CKR_DEVICE_ERROR),
    TW_RESULT(CKR_DEVICE_MEMORY), TW_RESULT(CKR_DEVICE_REMOVED), TW_RESULT(CKR_ENCRYPTED_DATA_INVALID),
    TW_RESULT(CKR_ENCRYPTED_DATA_LEN_RANGE), TW_RESULT(CKR_FUNCTION_CANCELED), TW_RESULT(CKR_FUNCTION_NOT_PARALLEL),
    TW_RESULT(CKR_FUNCTION_NOT_SUPPORTED), TW_RESULT(CKR_KEY_HANDLE_INVALID), TW_RESULT(CKR_KEY_SIZE_RANGE),
    TW_RESULT(CKR_KEY_TYPE_INCONSISTENT), TW_RESULT(CKR_KEY_FUNCTION_NOT_PERMITTED), TW_RESULT(CKR_MECHANISM_INVALID),
    TW_RESULT(CKR_MECHANISM_PARAM_INVALID), TW_RESULT(CKR_OBJECT_HANDLE_INVALID), TW_RESULT(CKR_OPERATION_ACTIVE),
    TW_RESULT(CKR_OPERATION_NOT_INITIALIZED), TW_RESULT(CKR_PIN_INCORRECT), TW_RESULT(CKR_PIN_INVALID),
    TW_RESULT(CKR_PIN_LEN_RANGE), TW_RESULT(CKR_PIN_EXPIRED), TW_RESULT(CKR_PIN_LOCKED),
    TW_RESULT(CKR_SESSION_CLOSED), TW_RESULT(CKR_SESSION_COUNT), TW_RESULT(CKR_SESSION_HANDLE_INVALID),
    TW_RESULT(CKR_SESSION_PARALLEL_NOT_SUPPORTED), TW_RESULT(CKR_SESSION_READ_ONLY), TW_RESULT(CKR_SESSION_EXISTS),
    TW_RESULT(CKR_SESSION_READ_ONLY_EXISTS), TW_RESULT(CKR_SESSION_READ_WRITE_SO_EXISTS),
    TW_RESULT(CKR_SIGNATURE_INVALID), TW_RESULT(CKR_SIGNATURE_LEN_RANGE), TW_RESULT(CKR_TEMPLATE_INCOMPLETE),
    TW_RESULT(CKR_TEMPLATE_INCONSISTENT), TW_RESULT(CKR_TOKEN_NOT_PRESENT), TW_RESULT(CKR_TOKEN_NOT_RECOGNIZED),
    TW_RESULT(CKR_TOKEN_WRITE_PROTECTED), TW_RESULT(CKR_USER_ALREADY_LOGGED_IN), TW_RESULT(CKR_USER_NOT_LOGGED_IN),
    TW_RESULT(CKR_USER_PIN_NOT_INITIALIZED), TW_RESULT(CKR_USER_TYPE_INVALID),
    TW_RESULT(CKR_USER_ANOTHER_ALREADY_LOGGED_IN), TW_RESULT(CKR_USER_TOO_MANY_TYPES),
    TW_RESULT(CKR_RANDOM_SEED_NOT_SUPPORTED), TW_RESULT(CKR_RANDOM_NO_RNG),
    TW_RESULT(CKR_BUFFER_TOO_SMALL), TW_RESULT(CKR_CRYPTOKI_NOT_INITIALIZED),
    TW_RESULT(CKR_CRYPTOKI_ALREADY_INITIALIZED), TW_RESULT(CKR_FUNCTION_REJECTED),
};
#undef TW_RESULT

}  // namespace

void BeginCall() { (void)TakeLastStatus(); }

const char* ResultName(CK_RV rv) {
  for (const ResultRow& row : kResults) {
    if (row.rv == rv) return row.name;
  }
  return "CKR_(other)";
}

// Off unless the variable is set; empty, "1" or "stderr" mean standard
// error, anything else a file to append to. The variable is read on every
// call, which costs little beside a card command.
CK_RV Logged(CK_RV rv, const char* where) {
  const char* target = std::getenv(kVariable);
  const int32_t status = TakeLastStatus();
  if (target == nullptr) return rv;
  char line[160];
  char word[12] = "-";
  if (status >= 0) std::snprintf(word, sizeof word, "%04X", static_cast<unsigned>(status));
  std::snprintf(line, sizeof line, "tarnwick-pkcs11: %s %s (0x%08lX) sw %s\n",
                where, ResultName(rv), static_cast<unsigned long>(rv), word);
  const bool to_stderr = *target == '\0' || std::strcmp(target, "1") == 0 || std::strcmp(target, "stderr") == 0;
  if (to_stderr || !AppendToFile(target, line)) std::fputs(line, stderr);
  return rv;
}

}  // namespace tarnwick::pkcs11
