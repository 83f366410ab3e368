// One reader port and the token in it: the open reader, the token's login
// state shared by its sessions, the sessions themselves, and the token
// directory and object files as last read from the card.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "card_link.h"
#include "locking.h"
#include "mechanisms.h"
#include "token_directory.h"

namespace tarnwick::pkcs11 {

constexpr std::size_t kSlotCount = 4;  // COM1 to COM4
// A card's own serial number: 8 bytes in an EF under the master file that a
// card is born with, readable always and never updated.
constexpr uint8_t kIdentityFile = 0x03;
constexpr std::size_t kIdentityBytes = kSerialBytes / 2;

enum class Login { kNone, kUser, kSecurityOfficer };

// How an operation is being fed: the first data call decides, and the
// other kind is then refused.
enum class Parts { kUndecided, kSingle, kMulti };

// One cryptographic operation in progress in a session.
struct Operation {
  bool active = false;
  Parts parts = Parts::kUndecided;
  CK_MECHANISM_TYPE mechanism = 0;
  std::size_t key = 0;  // key slot of the key object
  CK_OBJECT_HANDLE key_object = CK_INVALID_HANDLE;
  std::unique_ptr<Hash> hash;
  Bytes data;                   // what single-part mechanisms collect
  std::optional<Bytes> result;  // a card result kept for a retry with a larger buffer
};

struct Session {
  CK_FLAGS flags = 0;
  bool finding = false;
  std::vector<CK_OBJECT_HANDLE> found;
  std::size_t next_found = 0;
  Operation sign, verify, encrypt, decrypt, digest;
};

class Slot {
 public:
  Slot(std::size_t index, bool usb, std::unique_ptr<Lock> lock) : index_(index), usb_(usb), lock_(std::move(lock)) {}
  ~Slot() { card_.Close(); }

  std::size_t index() const { return index_; }
  uint8_t port() const { return static_cast<uint8_t>(index_ + 1); }
  bool usb() const { return usb_; }
  Lock& lock() { return *lock_; }
  CardLink& card() { return card_; }

  // The reader opens and the card answers its reset.
  bool Present();
  // The card is gone: every session ends and the reader closes.
  void Forget();
  // Ends the login: the card forgets the passphrase, the module the SO code.
  CK_RV EndLogin();
  // The card has already forgotten the login: the module forgets it too.
  void DropLogin();

  // The token's label and serial as the token shows them (docs/pkcs11.md),
  // read without writing anything.
  CK_RV ReadHeader(DirectoryHeader* header);
  // The whole directory and the object files this login may read; *found
  // false when the card has none.
  CK_RV LoadDirectory(bool* found);
  // Loads the directory again only when the card's copy changed since.
  CK_RV Refresh();
  const TokenDirectory& directory() const { return directory_; }
  // The card's directory breaks its layout: nothing is written over it.
  bool damaged() const { return damaged_; }
  const Bytes& FileContent(std::size_t entry) const { return files_[entry]; }
  // Writes the directory, creating its file first when needed.
  CK_RV StoreDirectory(const TokenDirectory& directory);
  void CacheFile(std::size_t entry, Bytes content) { files_[entry] = std::move(content); }

  Login login = Login::kNone;
  std::array<uint8_t, kPinBytes> so_code{};
  // The card tells the unblocking code's tries only when the code is used:
  // its last answer, while this card stays in the reader.
  PinState unblock_state;
  void NoteUnblockAnswer(int32_t status);
  CK_FLAGS UnblockCodeFlags() const;
  std::map<CK_SESSION_HANDLE, Session> sessions;
  CK_SESSION_HANDLE NewSessionHandle();
  bool HasReadOnlySession() const;

 private:
  int32_t NewSerial(std::string* serial);
  // The serial number of the card's identity file; empty when it has none.
  int32_t CardSerial(std::string* serial);
  void ForgetPrivateFiles();

  std::size_t index_;
  bool usb_;
  std::unique_ptr<Lock> lock_;
  CardLink card_;
  TokenDirectory directory_;
  bool damaged_ = false;
  bool loaded_ = false;
  std::optional<std::string> card_serial_;  // read once per card
  std::array<Bytes, kFileEntries> files_;
  uint32_t session_counter_ = 0;
};

// The slot index a session handle belongs to.
std::optional<std::size_t> SlotOfSession(CK_SESSION_HANDLE handle);

}  // namespace tarnwick::pkcs11
