// A slot's reader, login and directory: presence, removal, and reading and
// writing the token directory.
#include "slot.h"

#include <algorithm>
#include <cstdio>

#include <openssl/crypto.h>

namespace tarnwick::pkcs11 {
namespace {

// The label the first directories were given: a token still carrying it
// shows the label made from its serial number instead.
constexpr const char* kFirstDefaultLabel = "Tarnwick card";
constexpr const char* kLabelPrefix = "Tarnwick ";
constexpr const char* kNoSerial = "0000000000000000";
constexpr int kSessionShift = 24;
constexpr uint32_t kSessionCounterMask = (1u << kSessionShift) - 1;

CK_RV ResetResult(int32_t driver_result) { return driver_result == 0 ? CKR_OK : CKR_DEVICE_REMOVED; }

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  char digits[3];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  return text;
}

bool IsFileAbsent(int32_t status) { return status == sw::kFileNotFound; }

}  // namespace

bool Slot::Present() { return card_.IsOpen() || card_.Open(port()); }

void Slot::Forget() {
  sessions.clear();
  login = Login::kNone;
  OPENSSL_cleanse(so_code.data(), so_code.size());
  loaded_ = false;
  card_serial_.reset();
  unblock_state = PinState{};
  ForgetPrivateFiles();
  card_.Close();
}

void Slot::DropLogin() {
  login = Login::kNone;
  card_.ForgetPin();
  OPENSSL_cleanse(so_code.data(), so_code.size());
  ForgetPrivateFiles();
}

CK_RV Slot::EndLogin() {
  DropLogin();
  return card_.IsOpen() ? ResetResult(card_.Reset()) : CKR_OK;
}

void Slot::ForgetPrivateFiles() {
  for (std::size_t i = 0; i < kFileEntries; ++i) {
    if (!directory_.files[i].private_file) continue;
    OPENSSL_cleanse(files_[i].data(), files_[i].size());
    files_[i].clear();
  }
}

int32_t Slot::CardSerial(std::string* serial) {
  if (!card_serial_) {
    Bytes bytes;
    const int32_t status = card_.ReadFile(kIdentityFile, kIdentityBytes, bytes);
    if (status != sw::kSuccess && !IsFileAbsent(status)) return status;
    // All zeros: a card whose serial number was never drawn.
    const bool drawn = status == sw::kSuccess && std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b != 0; });
    card_serial_ = drawn ? Hex(bytes) : std::string();
  }
  *serial = *card_serial_;
  return sw::kSuccess;
}

// The card's own serial number first, then the one the directory was given
// when it was made; the label the directory keeps, else one made from that
// serial number. Nothing is written: a card with neither shows zeros until
// its first object is stored.
CK_RV Slot::ReadHeader(DirectoryHeader* header) {
  std::string card_serial;
  int32_t status = CardSerial(&card_serial);
  if (status != sw::kSuccess) return CardResult(status);
  Bytes bytes;
  status = card_.ReadFile(kDirectoryFile, kDirectoryHeaderBytes, bytes);
  if (status != sw::kSuccess && !IsFileAbsent(status)) return CardResult(status);
  DirectoryHeader stored;
  if (status == sw::kSuccess) {
    auto decoded = DecodeDirectoryHeader(bytes);
    if (!decoded) return CKR_DEVICE_ERROR;
    stored = std::move(*decoded);
  }
  header->serial = !card_serial.empty() ? card_serial : !stored.serial.empty() ? stored.serial : kNoSerial;
  const bool own_label = !stored.label.empty() && stored.label != kFirstDefaultLabel;
  header->label = own_label ? stored.label : kLabelPrefix + header->serial;
  header->changes = stored.changes;
  return CKR_OK;
}

CK_RV Slot::Refresh() {
  if (loaded_ && !damaged_ && directory_.changes) {
    Bytes bytes;
    const int32_t status = card_.ReadFile(kDirectoryFile, kDirectoryHeaderBytes, bytes);
    if (status != sw::kSuccess && !IsFileAbsent(status)) return CardResult(status);
    auto header = status == sw::kSuccess ? DecodeDirectoryHeader(bytes) : std::nullopt;
    if (header && header->changes == directory_.changes && header->serial == directory_.serial) return CKR_OK;
  }
  bool found = false;
  return LoadDirectory(&found);
}

CK_RV Slot::LoadDirectory(bool* found) {
  Bytes bytes;
  int32_t status = card_.ReadFile(kDirectoryFile, kDirectoryBytes, bytes);
  *found = status == sw::kSuccess;
  damaged_ = false;
  loaded_ = false;
  ForgetPrivateFiles();
  if (IsFileAbsent(status)) {
    directory_ = TokenDirectory{};
    for (Bytes& content : files_) content.clear();
    loaded_ = true;
    return CKR_OK;
  }
  if (status != sw::kSuccess) return CardResult(status);
  auto decoded = DecodeDirectory(bytes);
  if (!decoded) {
    // Whatever wrote it, the module neither guesses at it nor overwrites it.
    damaged_ = true;
    directory_ = TokenDirectory{};
    return CKR_DEVICE_ERROR;
  }
  directory_ = std::move(*decoded);
  for (std::size_t i = 0; i < kFileEntries; ++i) {
    const FileEntry& entry = directory_.files[i];
    files_[i].clear();
    if (!entry.in_use || (entry.private_file && login != Login::kUser)) continue;
    status = card_.ReadFile(entry.file, entry.length, files_[i]);
    if (status != sw::kSuccess) return CardResult(status);
  }
  loaded_ = true;
  return CKR_OK;
}

// A new directory file takes the card's own serial number, or else one
// drawn from the card's random generator; it stays with the card from then
// on. Every write counts in the directory's change counter.
CK_RV Slot::StoreDirectory(const TokenDirectory& directory) {
  if (damaged_) return CKR_DEVICE_ERROR;  // never written over
  TokenDirectory stored = directory;
  stored.changes = stored.changes.value_or(0) + 1;
  int32_t status = card_.WriteFile(kDirectoryFile, EncodeDirectory(stored));
  if (IsFileAbsent(status)) {
    status = CardSerial(&stored.serial);
    if (status == sw::kSuccess && stored.serial.empty()) status = NewSerial(&stored.serial);
    if (status == sw::kSuccess) status = card_.CreateFile(kDirectoryFile, static_cast<uint16_t>(kDirectoryBytes));
    if (status == sw::kSuccess) status = card_.WriteFile(kDirectoryFile, EncodeDirectory(stored));
  }
  if (status != sw::kSuccess) return CardResult(status);
  directory_ = std::move(stored);
  loaded_ = true;
  return CKR_OK;
}

void Slot::NoteUnblockAnswer(int32_t status) {
  if (status == sw::kSuccess) {
    unblock_state = PinState{};
  } else if (status == sw::kBlocked) {
    unblock_state = PinState{false, true, 0};
  } else if ((status & sw::kTriesLeftMask) == sw::kTriesLeft) {
    const int left = status & ~sw::kTriesLeftMask;
    unblock_state = PinState{false, left == 0, left};
  }
}

// Any failure seen makes the count low: the card does not tell how many
// tries the code was issued with.
CK_FLAGS Slot::UnblockCodeFlags() const {
  if (unblock_state.blocked) return CKF_SO_PIN_LOCKED;
  if (unblock_state.tries_left < 0) return 0;
  return CKF_SO_PIN_COUNT_LOW | (unblock_state.tries_left == 1 ? CKF_SO_PIN_FINAL_TRY : 0);
}

int32_t Slot::NewSerial(std::string* serial) {
  std::array<uint8_t, kSerialBytes / 2> random{};
  const int32_t status = card_.Random(random);
  if (status == sw::kSuccess) *serial = Hex(random);
  return status;
}

CK_SESSION_HANDLE Slot::NewSessionHandle() {
  CK_SESSION_HANDLE handle = 0;
  do {
    session_counter_ = (session_counter_ + 1) & kSessionCounterMask;
    handle = (static_cast<CK_SESSION_HANDLE>(index_ + 1) << kSessionShift) | session_counter_;
  } while (session_counter_ == 0 || sessions.count(handle) != 0);
  return handle;
}

bool Slot::HasReadOnlySession() const {
  for (const auto& [handle, session] : sessions) {
    if ((session.flags & CKF_RW_SESSION) == 0) return true;
  }
  return false;
}

std::optional<std::size_t> SlotOfSession(CK_SESSION_HANDLE handle) {
  const CK_SESSION_HANDLE slot = handle >> kSessionShift;
  if (slot == 0 || slot > kSlotCount) return std::nullopt;
  return static_cast<std::size_t>(slot - 1);
}

}  // namespace tarnwick::pkcs11
