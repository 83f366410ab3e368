// One reader and its card, reached only through the library's exports: the
// module's card commands, with the card's status words turned into CK_RV.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cryptoki.h"
#include "protocol/public_key_record.h"
#include "protocol/status_words.h"

namespace tarnwick::pkcs11 {

// The card command a status word answers, for the words whose meaning
// depends on it.
enum class CardCall { kAny, kPin, kCreateFile, kGenerateKey, kSign, kDecrypt };

constexpr uint8_t kUserPassphrase = 0x01;
constexpr std::size_t kPinBytes = 8;  // the card pads shorter values with 0xFF
constexpr int kPinTriesIssued = 3;    // the card's passphrase 01 is issued with three tries
constexpr std::size_t kModulusBytes = record::kCardModulusBytes;
constexpr CK_ULONG kKeyBits = record::kCardKeyBits;
// The most data the card pads into one block: its signature (type 1) and
// encryption (type 2) padding both take 11 bytes.
constexpr std::size_t kMaxPaddedInput = kModulusBytes - 11;

// What VERIFY without data tells about a passphrase, using no try.
struct PinState {
  bool verified = false;
  bool blocked = false;
  int tries_left = -1;  // -1: not told (verified)
};

class CardLink {
 public:
  // Opens the reader on COM1 to COM4 and resets the card.
  bool Open(uint8_t port);
  void Close();
  bool IsOpen() const { return reader_ != 0; }
  // Power cycle: the card forgets every verified passphrase.
  int32_t Reset();

  int32_t Verify(std::span<const uint8_t> pin);
  // The user's PIN while the token is logged in, to verify again when
  // another program resets a shared card; wiped by ForgetPin.
  void KeepPin(std::span<const uint8_t> pin);
  void ForgetPin();
  int32_t ReadPinState(PinState& state);
  int32_t ChangePin(std::span<const uint8_t> old_pin, std::span<const uint8_t> new_pin);
  int32_t Unblock(std::span<const uint8_t> code, std::span<const uint8_t> new_pin);

  // Transparent EFs directly under the master file.
  int32_t ReadFile(uint8_t fid, std::size_t n, std::vector<uint8_t>& out);
  int32_t WriteFile(uint8_t fid, std::span<const uint8_t> data);
  // Readable always, or only after the user's passphrase; updatable after it.
  int32_t CreateFile(uint8_t fid, uint16_t size, bool read_after_login = false);

  int32_t Random(std::span<uint8_t> out);
  int32_t GenerateKeyPair(uint8_t key_slot, std::array<uint8_t, kModulusBytes>& modulus);
  int32_t Sign(uint8_t key_slot, std::span<const uint8_t> data, std::vector<uint8_t>& signature);
  int32_t Decrypt(uint8_t key_slot, std::span<const uint8_t> data, std::vector<uint8_t>& plain);

 private:
  template <class Sequence>
  int32_t Sustained(Sequence sequence);
  bool TakeUpReset();
  int32_t ReadPinStateOnce(PinState& state);

  uint32_t reader_ = 0;
  std::array<uint8_t, kPinBytes> kept_pin_{};
  std::size_t kept_length_ = 0;
};

// A PIN padded as the card keeps it; false when its length is out of range.
bool PadPin(std::span<const uint8_t> pin, std::array<uint8_t, kPinBytes>& padded);

// A PIN or unblocking code padded for one call, wiped however the call ends.
struct PaddedPin {
  PaddedPin() = default;
  PaddedPin(const PaddedPin&) = delete;
  PaddedPin& operator=(const PaddedPin&) = delete;
  ~PaddedPin();
  std::array<uint8_t, kPinBytes> bytes{};
};

// The card's answer as a Cryptoki result, from one table of status words
// with the overrides of particular commands.
CK_RV CardResult(int32_t status, CardCall call = CardCall::kAny);
inline CK_RV PinResult(int32_t status) { return CardResult(status, CardCall::kPin); }

// The last status word a card command answered on this thread; -1 when none
// since the last call to TakeLastStatus.
int32_t TakeLastStatus();

// Whether a command on this thread found the card reset by another program
// (0xFFFE from a shared reader) since the last call.
bool TakeCardReset();

}  // namespace tarnwick::pkcs11
