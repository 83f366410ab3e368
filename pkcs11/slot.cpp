// A slot's reader, login and directory: presence, removal, and reading and
// writing the token directory.
#include "slot.h"

#include <cstdio>

#include <openssl/crypto.h>

namespace tarnwick::pkcs11 {
namespace {

constexpr const char* kDefaultLabel = "Tarnwick card";
constexpr const char* kNoSerial = "0000000000000000";
constexpr int kSessionShift = 24;
constexpr uint32_t kSessionCounterMask = (1u << kSessionShift) - 1;

CK_RV ResetResult(int32_t driver_result) { return driver_result == 0 ? CKR_OK : CKR_DEVICE_REMOVED; }

}  // namespace

bool Slot::Present() { return card_.IsOpen() || card_.Open(port()); }

void Slot::Forget() {
  sessions.clear();
  login = Login::kNone;
  OPENSSL_cleanse(so_code.data(), so_code.size());
  card_.Close();
}

CK_RV Slot::EndLogin() {
  login = Login::kNone;
  OPENSSL_cleanse(so_code.data(), so_code.size());
  return card_.IsOpen() ? ResetResult(card_.Reset()) : CKR_OK;
}

CK_RV Slot::ReadHeader(DirectoryHeader* header) {
  Bytes bytes;
  const int32_t status = card_.ReadFile(kDirectoryFile, kDirectoryHeaderBytes, bytes);
  if (status == sw::kFileNotFound) {
    *header = DirectoryHeader{kDefaultLabel, kNoSerial};
    return CKR_OK;
  }
  if (status != sw::kOk) return CardResult(status);
  auto decoded = DecodeDirectoryHeader(bytes);
  if (!decoded) return CKR_DEVICE_ERROR;
  *header = std::move(*decoded);
  return CKR_OK;
}

CK_RV Slot::LoadDirectory(bool* found) {
  Bytes bytes;
  int32_t status = card_.ReadFile(kDirectoryFile, kDirectoryBytes, bytes);
  *found = status == sw::kOk;
  damaged_ = false;
  if (status == sw::kFileNotFound) {
    directory_ = TokenDirectory{kDefaultLabel, kNoSerial, {}, {}};
    return CKR_OK;
  }
  if (status != sw::kOk) return CardResult(status);
  auto decoded = DecodeDirectory(bytes);
  if (!decoded) {
    // Whatever wrote it, the module neither guesses at it nor overwrites it.
    damaged_ = true;
    directory_ = TokenDirectory{kDefaultLabel, kNoSerial, {}, {}};
    return CKR_DEVICE_ERROR;
  }
  directory_ = std::move(*decoded);
  for (std::size_t i = 0; i < kCertificateEntries; ++i) {
    const CertificateEntry& cert = directory_.certificates[i];
    certificates_[i].clear();
    if (!cert.in_use) continue;
    status = card_.ReadFile(cert.file, cert.length, certificates_[i]);
    if (status != sw::kOk) return CardResult(status);
  }
  return CKR_OK;
}

// A new directory file gets the token's serial number from the card's
// random generator; it stays with the card from then on.
CK_RV Slot::StoreDirectory(const TokenDirectory& directory) {
  if (damaged_) return CKR_DEVICE_ERROR;  // never written over
  TokenDirectory stored = directory;
  int32_t status = card_.WriteFile(kDirectoryFile, EncodeDirectory(stored));
  if (status == sw::kFileNotFound) {
    status = NewSerial(&stored.serial);
    if (status == sw::kOk) status = card_.CreateFile(kDirectoryFile, static_cast<uint16_t>(kDirectoryBytes));
    if (status == sw::kOk) status = card_.WriteFile(kDirectoryFile, EncodeDirectory(stored));
  }
  if (status != sw::kOk) return CardResult(status);
  directory_ = std::move(stored);
  return CKR_OK;
}

int32_t Slot::NewSerial(std::string* serial) {
  std::array<uint8_t, kSerialBytes / 2> random{};
  const int32_t status = card_.Random(random);
  if (status != sw::kOk) return status;
  serial->clear();
  char hex[3];
  for (uint8_t b : random) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    *serial += hex;
  }
  return sw::kOk;
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
