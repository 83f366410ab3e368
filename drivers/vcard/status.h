// The status words the card answers, named for their ISO/IEC 7816-4
// meaning; SW1 is the high byte.
#pragma once

#include <cstdint>

namespace tarnwick::vcard::sw {

constexpr uint16_t kOk = 0x9000;
// Fewer bytes than Le asked for: the end of the file or record came first.
constexpr uint16_t kEndReached = 0x6282;
constexpr uint16_t kAuthenticationFailed = 0x6300;
// 0x63C0 | n: the value presented was wrong, n tries are left.
constexpr uint16_t kWrongValueTriesLeft = 0x63C0;
constexpr uint16_t kNoDiagnosis = 0x6F00;
// Memory failure: the card could not keep a change it needed to keep.
constexpr uint16_t kMemoryFailure = 0x6581;
constexpr uint16_t kWrongLength = 0x6700;
constexpr uint16_t kChannelUnsupported = 0x6881;
constexpr uint16_t kSecureMessagingUnsupported = 0x6882;
constexpr uint16_t kChainingUnsupported = 0x6884;
constexpr uint16_t kIncompatibleFile = 0x6981;
constexpr uint16_t kSecurityNotSatisfied = 0x6982;
constexpr uint16_t kBlocked = 0x6983;
constexpr uint16_t kReferenceUnusable = 0x6984;
constexpr uint16_t kConditionsNotSatisfied = 0x6985;
constexpr uint16_t kNoCurrentEf = 0x6986;
constexpr uint16_t kWrongData = 0x6A80;
constexpr uint16_t kFileNotFound = 0x6A82;
constexpr uint16_t kRecordNotFound = 0x6A83;
constexpr uint16_t kNoSpace = 0x6A84;
constexpr uint16_t kWrongP1P2 = 0x6A86;
constexpr uint16_t kReferenceNotFound = 0x6A88;
constexpr uint16_t kFileExists = 0x6A89;
constexpr uint16_t kWrongParameters = 0x6B00;
constexpr uint16_t kInsNotSupported = 0x6D00;
constexpr uint16_t kClaNotSupported = 0x6E00;
// Proprietary: a long command is still running; poll until 0x6D00.
constexpr uint16_t kBusy = 0x6FF0;

}  // namespace tarnwick::vcard::sw
