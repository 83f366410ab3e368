// The module's card commands over the library's exports, and the mapping of
// the card's status words onto Cryptoki results.
#include "card_link.h"

#include <algorithm>
#include <utility>

#include <openssl/crypto.h>
#include <tarnwick.h>

namespace tarnwick::pkcs11 {
namespace {

// File descriptions of the card's create-file command: type, size, read and
// update conditions, no short identifier.
constexpr uint8_t kTransparentEf = 0x01;
constexpr uint8_t kAlways = 0x00;
constexpr uint8_t kAfterUserPassphrase = 0x10 | kUserPassphrase;
constexpr uint8_t kDescriptionLength = 7;

// The exports take one-byte lengths: larger transfers never reach them.
constexpr std::size_t kMaxApduData = 195;

thread_local int32_t last_status = -1;
thread_local bool card_reset = false;

int32_t Noted(int32_t status) {
  last_status = status;
  card_reset = card_reset || status == TW_SW_CARD_RESET;
  return status;
}

int32_t SelectEf(uint8_t fid, uint32_t reader) { return Noted(SelectFile(0x00, 0, fid, reader)); }

struct StatusRow {
  int32_t status;
  int32_t mask;
  CardCall call;  // kAny: every command without a row of its own
  CK_RV rv;
};

constexpr int32_t kExact = 0xFFFF;
constexpr int32_t kSw1 = 0xFF00;

// Rows for one command come before the rows for any; the first match wins.
constexpr StatusRow kStatusRows[] = {
    {TW_SW_TRIES_LEFT, sw::kTriesLeftMask, CardCall::kPin, CKR_PIN_INCORRECT},
    {TW_SW_BLOCKED, kExact, CardCall::kPin, CKR_PIN_LOCKED},
    {TW_SW_WRONG_LENGTH, kSw1, CardCall::kPin, CKR_PIN_LEN_RANGE},
    {TW_SW_WRONG_DATA, kExact, CardCall::kPin, CKR_PIN_INVALID},
    {TW_SW_REFERENCE_NOT_FOUND, kExact, CardCall::kPin, CKR_USER_PIN_NOT_INITIALIZED},
    {TW_SW_FILE_EXISTS, kExact, CardCall::kCreateFile, CKR_DEVICE_ERROR},
    {TW_SW_WRONG_DATA, kExact, CardCall::kGenerateKey, CKR_DEVICE_ERROR},
    {TW_SW_WRONG_P1P2, kExact, CardCall::kGenerateKey, CKR_KEY_HANDLE_INVALID},
    {TW_SW_WRONG_LENGTH, kSw1, CardCall::kDecrypt, CKR_ENCRYPTED_DATA_LEN_RANGE},
    {TW_SW_WRONG_DATA, kExact, CardCall::kDecrypt, CKR_ENCRYPTED_DATA_INVALID},
    {TW_SW_WRONG_DATA, kExact, CardCall::kSign, CKR_DATA_LEN_RANGE},
    {TW_SW_SUCCESS, kExact, CardCall::kAny, CKR_OK},
    {TW_SW_EXCHANGE_FAILED, kExact, CardCall::kAny, CKR_DEVICE_REMOVED},
    {TW_SW_SECURITY_NOT_SATISFIED, kExact, CardCall::kAny, CKR_USER_NOT_LOGGED_IN},
    {TW_SW_BLOCKED, kExact, CardCall::kAny, CKR_PIN_LOCKED},
    {TW_SW_NO_SPACE, kExact, CardCall::kAny, CKR_DEVICE_MEMORY},
    {TW_SW_MEMORY_FAILURE, kExact, CardCall::kAny, CKR_DEVICE_MEMORY},
    {TW_SW_WRONG_LENGTH, kSw1, CardCall::kAny, CKR_DATA_LEN_RANGE},
    {TW_SW_WRONG_DATA, kExact, CardCall::kAny, CKR_DATA_INVALID},
    {TW_SW_REFERENCE_NOT_FOUND, kExact, CardCall::kAny, CKR_KEY_HANDLE_INVALID},
    {TW_SW_REFERENCE_UNUSABLE, kExact, CardCall::kAny, CKR_KEY_FUNCTION_NOT_PERMITTED},
    {TW_SW_CONDITIONS_NOT_SATISFIED, kExact, CardCall::kAny, CKR_FUNCTION_REJECTED},
    {TW_SW_INS_NOT_SUPPORTED, kExact, CardCall::kAny, CKR_FUNCTION_NOT_SUPPORTED},
    {TW_SW_CARD_BUSY, kExact, CardCall::kAny, CKR_FUNCTION_FAILED},
};

}  // namespace

bool CardLink::Open(uint8_t port) {
  tw_handle_t handle = 0;
  if (OpenCom(port, &handle) != 0) return false;
  reader_ = handle;
  if (Reset() != 0) {
    Close();
    return false;
  }
  return true;
}

void CardLink::Close() {
  ForgetPin();
  if (reader_ == 0) return;
  tw_handle_t handle = reader_;
  CloseCom(&handle);
  reader_ = 0;
}

int32_t CardLink::Reset() { return ResetICC(static_cast<int32_t>(reader_), 0, 0); }

int32_t CardLink::Verify(std::span<const uint8_t> pin) {
  return Noted(VerifyPassphrase(pin.data(), static_cast<uint8_t>(pin.size()), kUserPassphrase, reader_));
}

void CardLink::KeepPin(std::span<const uint8_t> pin) {
  ForgetPin();
  kept_length_ = std::min(pin.size(), kept_pin_.size());
  std::copy_n(pin.begin(), kept_length_, kept_pin_.begin());
}

void CardLink::ForgetPin() {
  OPENSSL_cleanse(kept_pin_.data(), kept_pin_.size());
  kept_length_ = 0;
}

// A shared reader answers 0xFFFE, sending nothing, to the first command
// after another program reset the card: the current file and the verified
// PIN are gone. The sequence runs again from its start once the reset is
// taken up, so a program keeps its login while others come and go.
template <class Sequence>
int32_t CardLink::Sustained(Sequence sequence) {
  const int32_t status = sequence();
  return status == TW_SW_CARD_RESET && TakeUpReset() ? sequence() : status;
}

// Without a login there is nothing to restore. With one, the kept PIN is
// verified again only while the counter is full: a PIN another program
// changed then costs at most one try, which the next right PIN gives back,
// and never locks the card. Otherwise the login is dropped.
bool CardLink::TakeUpReset() {
  if (kept_length_ == 0) {
    card_reset = false;
    return true;
  }
  PinState state;
  if (ReadPinStateOnce(state) != sw::kSuccess) return false;
  const bool restored = state.verified || (state.tries_left == kPinTriesIssued &&
                                           Verify({kept_pin_.data(), kept_length_}) == sw::kSuccess);
  if (!restored) {
    ForgetPin();
    return false;
  }
  card_reset = false;
  return true;
}

int32_t CardLink::ReadPinState(PinState& state) {
  return Sustained([&] { return ReadPinStateOnce(state); });
}

int32_t CardLink::ReadPinStateOnce(PinState& state) {
  const uint8_t none = 0;
  const int32_t status = Noted(VerifyPassphrase(&none, 0, kUserPassphrase, reader_));
  state = PinState{};
  if (status == sw::kSuccess) {
    state.verified = true;
  } else if (status == sw::kBlocked) {
    state.blocked = true;
  } else if ((status & sw::kTriesLeftMask) == sw::kTriesLeft) {
    state.tries_left = status & 0x0F;
    state.blocked = state.tries_left == 0;
  } else {
    return status;
  }
  return sw::kSuccess;
}

int32_t CardLink::ChangePin(std::span<const uint8_t> old_pin, std::span<const uint8_t> new_pin) {
  return Noted(SetPassphrase(reader_, old_pin.data(), kUserPassphrase, new_pin.data()));
}

int32_t CardLink::Unblock(std::span<const uint8_t> code, std::span<const uint8_t> new_pin) {
  return Noted(KeyUnblock(kUserPassphrase, code.data(), new_pin.data(), reader_));
}

int32_t CardLink::ReadFile(uint8_t fid, std::size_t n, std::vector<uint8_t>& out) {
  return Sustained([&] {
    int32_t status = SelectEf(fid, reader_);
    if (status != sw::kSuccess) return status;
    std::vector<uint8_t> data(n);
    if (n > 0) status = Noted(ReadBin(static_cast<uint32_t>(n), data.data(), reader_));
    if (status == sw::kSuccess) out = std::move(data);
    return status;
  });
}

int32_t CardLink::WriteFile(uint8_t fid, std::span<const uint8_t> data) {
  return Sustained([&] {
    int32_t status = SelectEf(fid, reader_);
    if (status != sw::kSuccess || data.empty()) return status;
    return Noted(UpdateBin(static_cast<uint32_t>(data.size()), data.data(), reader_));
  });
}

int32_t CardLink::CreateFile(uint8_t fid, uint16_t size, bool read_after_login) {
  const uint8_t description[kDescriptionLength] = {kTransparentEf,
                                                   static_cast<uint8_t>(size >> 8),
                                                   static_cast<uint8_t>(size),
                                                   read_after_login ? kAfterUserPassphrase : kAlways,
                                                   kAfterUserPassphrase,
                                                   0,
                                                   0};
  return Sustained([&] { return Noted(Createfile(fid, kDescriptionLength, description, reader_)); });
}

int32_t CardLink::Random(std::span<uint8_t> out) {
  return Sustained([&] { return Noted(GetChallenge(out.data(), static_cast<uint32_t>(out.size()), reader_)); });
}

int32_t CardLink::GenerateKeyPair(uint8_t key_slot, std::array<uint8_t, kModulusBytes>& modulus) {
  uint32_t length = 0;
  const int32_t status =
      Sustained([&] { return Noted(RsaGenerateKeyPair(0, key_slot, modulus.data(), &length, reader_)); });
  return status == sw::kSuccess && length != kModulusBytes ? sw::kWrongData : status;
}

int32_t CardLink::Sign(uint8_t key_slot, std::span<const uint8_t> data, std::vector<uint8_t>& signature) {
  if (data.size() > kMaxPaddedInput) return sw::kWrongData;
  uint8_t out[256];
  uint32_t length = 0;
  const int32_t status =
      Sustained([&] { return Noted(rsaPrivateSign(key_slot, data.data(), static_cast<uint8_t>(data.size()), out, &length, reader_)); });
  if (status == sw::kSuccess) signature.assign(out, out + std::min<uint32_t>(length, sizeof out));
  return status;
}

int32_t CardLink::Decrypt(uint8_t key_slot, std::span<const uint8_t> data, std::vector<uint8_t>& plain) {
  if (data.size() > kMaxApduData) return sw::kWrongData;
  uint8_t out[256];
  uint32_t length = 0;
  const int32_t status =
      Sustained([&] { return Noted(rsaPrivateDecrypt(key_slot, data.data(), static_cast<uint8_t>(data.size()), out, &length, reader_)); });
  if (status == sw::kSuccess) plain.assign(out, out + std::min<uint32_t>(length, sizeof out));
  return status;
}

PaddedPin::~PaddedPin() { OPENSSL_cleanse(bytes.data(), bytes.size()); }

bool PadPin(std::span<const uint8_t> pin, std::array<uint8_t, kPinBytes>& padded) {
  if (pin.empty() || pin.size() > kPinBytes) return false;
  padded.fill(0xFF);
  std::copy(pin.begin(), pin.end(), padded.begin());
  return true;
}

CK_RV CardResult(int32_t status, CardCall call) {
  for (CardCall wanted : {call, CardCall::kAny}) {
    for (const StatusRow& row : kStatusRows) {
      if (row.call == wanted && (status & row.mask) == row.status) return row.rv;
    }
  }
  return CKR_DEVICE_ERROR;
}

int32_t TakeLastStatus() {
  const int32_t status = last_status;
  last_status = -1;
  return status;
}

bool TakeCardReset() { return std::exchange(card_reset, false); }

}  // namespace tarnwick::pkcs11
