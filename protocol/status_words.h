// The status words under their C++ names, and their meanings as text: the
// words and the one meaning table are those of tarnwick_status.h.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick_status.h"

namespace tarnwick::sw {

inline constexpr uint16_t kSuccess = TW_SW_SUCCESS;
inline constexpr uint16_t kMalformedKeyPair = TW_SW_MALFORMED_KEY_PAIR;
inline constexpr uint16_t kBytesAvailable = TW_SW_BYTES_AVAILABLE;
inline constexpr uint16_t kRepeatCommand = TW_SW_REPEAT_COMMAND;
inline constexpr uint16_t kEndReached = TW_SW_END_REACHED;
inline constexpr uint16_t kAuthenticationFailed = TW_SW_AUTHENTICATION_FAILED;
inline constexpr uint16_t kTriesLeft = TW_SW_TRIES_LEFT;
// 0x63Cn: the low four bits are the tries left.
inline constexpr uint16_t kTriesLeftMask = 0xFFF0;
inline constexpr uint16_t kMemoryFailure = TW_SW_MEMORY_FAILURE;
inline constexpr uint16_t kWrongLength = TW_SW_WRONG_LENGTH;
inline constexpr uint16_t kChannelUnsupported = TW_SW_CHANNEL_UNSUPPORTED;
inline constexpr uint16_t kSecureMessagingUnsupported = TW_SW_SECURE_MESSAGING_UNSUPPORTED;
inline constexpr uint16_t kChainingUnsupported = TW_SW_CHAINING_UNSUPPORTED;
inline constexpr uint16_t kIncompatibleFile = TW_SW_INCOMPATIBLE_FILE;
inline constexpr uint16_t kSecurityNotSatisfied = TW_SW_SECURITY_NOT_SATISFIED;
inline constexpr uint16_t kBlocked = TW_SW_BLOCKED;
inline constexpr uint16_t kReferenceUnusable = TW_SW_REFERENCE_UNUSABLE;
inline constexpr uint16_t kConditionsNotSatisfied = TW_SW_CONDITIONS_NOT_SATISFIED;
inline constexpr uint16_t kNoCurrentEf = TW_SW_NO_CURRENT_EF;
inline constexpr uint16_t kWrongData = TW_SW_WRONG_DATA;
inline constexpr uint16_t kFileNotFound = TW_SW_FILE_NOT_FOUND;
inline constexpr uint16_t kRecordNotFound = TW_SW_RECORD_NOT_FOUND;
inline constexpr uint16_t kNoSpace = TW_SW_NO_SPACE;
inline constexpr uint16_t kWrongP1P2 = TW_SW_WRONG_P1P2;
inline constexpr uint16_t kReferenceNotFound = TW_SW_REFERENCE_NOT_FOUND;
inline constexpr uint16_t kFileExists = TW_SW_FILE_EXISTS;
inline constexpr uint16_t kWrongParameters = TW_SW_WRONG_PARAMETERS;
inline constexpr uint16_t kWrongLe = TW_SW_WRONG_LE;
inline constexpr uint16_t kInsNotSupported = TW_SW_INS_NOT_SUPPORTED;
// The poll frame is no instruction, so an idle card refuses it: that
// refusal is how a card says it is ready again after a long command.
inline constexpr uint16_t kCardReady = kInsNotSupported;
inline constexpr uint16_t kClaNotSupported = TW_SW_CLA_NOT_SUPPORTED;
inline constexpr uint16_t kNoDiagnosis = TW_SW_NO_DIAGNOSIS;
inline constexpr uint16_t kCardBusy = TW_SW_CARD_BUSY;
inline constexpr uint16_t kCardReset = TW_SW_CARD_RESET;
inline constexpr uint16_t kExchangeFailed = TW_SW_EXCHANGE_FAILED;

}  // namespace tarnwick::sw

namespace tarnwick::status {

// The meaning of a status word, e.g. "file or application not found" for
// 0x6A82 or "verification failed, 2 tries left" for 0x63C2. Values outside
// 0..0xFFFF are not status words and say so.
std::string Meaning(int64_t sw);

// "XXXX meaning": the status word as four upper-case hex digits, a space and
// its meaning, e.g. "9000 command completed".
std::string Describe(int64_t sw);

}  // namespace tarnwick::status
