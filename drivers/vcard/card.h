// The virtual card: a card operating system that takes one command APDU at a
// time and answers with data and SW1 SW2, and whose persistent state can be
// saved to and restored from a byte image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "protocol/status_words.h"

namespace tarnwick::vcard {

struct Answer {
  std::vector<uint8_t> data;  // never more than 255 bytes
  uint16_t sw = sw::kSuccess;
};

struct RsaPrivateKey;

// Where a completed key-pair generation takes its key from.
using KeyPairSource = std::optional<RsaPrivateKey> (*)();

// Keeps the card's image where it outlives the process; false when it could
// not be kept.
using DurableSave = std::function<bool(std::span<const uint8_t> image)>;

struct CardOptions {
  // How many polls a card busy with a key-pair generation or an erase
  // answers "busy" before it answers 0x6D00 again.
  int busy_polls = 3;
  // Null: a fresh RSA-1024 key each time, as a card makes it. Harnesses that
  // send thousands of generations a second give a cheaper source.
  KeyPairSource key_pair_source = nullptr;
  // The serial number a fresh card is born with, in EF 0003; a card made
  // without one has no EF 0003.
  std::optional<std::array<uint8_t, 8>> serial = std::nullopt;
};

class Card {
 public:
  // A fresh card with the default profile (docs/virtual-card.md).
  explicit Card(CardOptions options = {});
  ~Card();
  Card(Card&&) noexcept;
  Card& operator=(Card&&) noexcept;
  Card(const Card&) = delete;
  Card& operator=(const Card&) = delete;

  // Processes one command APDU of len bytes. Malformed input of any kind is
  // answered with a status word; it never crashes or corrupts the card.
  Answer Process(const uint8_t* apdu, std::size_t len);

  // Power-up: clears the security state, the current file, the challenge and
  // any pending long command. Persistent contents are kept.
  void Reset();

  // True when a command since the last call changed persistent state; the
  // driver then saves the image.
  bool TakeChanged();

  // How the card keeps its image in the middle of a command: a try counter
  // is spent through it before a secret is compared, and a command whose
  // try cannot be kept is refused (0x6581) without comparing. Without one
  // (a card in memory) every change counts as kept.
  void SetDurableSave(DurableSave save);

  // The persistent state (files, passphrases and their counters, keys, RSA
  // key slots) as a self-describing byte image, and its inverse. Load
  // refuses a malformed image with nullopt.
  std::vector<uint8_t> SaveImage() const;
  static std::optional<Card> LoadImage(const uint8_t* image, std::size_t len,
                                       CardOptions options = {});

  // Takes the persistent state from an image another program wrote, keeping
  // what this card holds until reset (verified passphrases, current file); a
  // current file the image lacks gives way to the master file. False, and
  // the card unchanged, for an image LoadImage would refuse.
  bool ReplaceContents(const uint8_t* image, std::size_t len);

 private:
  struct State;
  explicit Card(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace tarnwick::vcard
