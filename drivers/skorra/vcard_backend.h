// The virtual card behind a port: kept in memory for the life of the
// process, or in its files, to which every state change is written and that
// several processes take turns on, one burst of commands at a time.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "backend.h"
#include "card_lock.h"
#include "image_store.h"
#include "lease.h"
#include "vcard/card.h"

namespace tarnwick::skorra {

class VirtualCardBackend final : public Backend {
 public:
  // The process-wide card of a port (1 to 4), created fresh on first use;
  // it outlives closing the port.
  static std::unique_ptr<VirtualCardBackend> InMemory(int port_number);

  // The card saved in the store; a missing file gives a fresh card.
  // Temporary files a killed writer left are removed. nullptr and a problem
  // text when its lock file cannot be opened, another process kept the card
  // longer than a few seconds, or the file is damaged: a damaged card is
  // never silently replaced by a fresh one, which would lose its contents.
  static std::unique_ptr<VirtualCardBackend> FromStore(ImageStore store, std::string& problem);
  ~VirtualCardBackend() override;

  // Writes what the card holds only in memory (the tries a matching VERIFY
  // gave back) and folds the journal into the image. A process that ends
  // with the port open leaves the journal, which the next open replays.
  void Close() override;
  bool PowerUp() override;
  Reply Transmit(std::span<const uint8_t> command) override;
  std::string Description() const override;

 private:
  explicit VirtualCardBackend(vcard::Card& card);
  VirtualCardBackend(vcard::Card card, ImageStore store, std::vector<uint8_t> saved_image, bool on_disk);
  Reply Run(std::span<const uint8_t> command);
  bool TakeLock(std::string& problem);
  bool CatchUp(std::string& problem);
  Reply SaveOrRollBack(vcard::Answer answer, bool whole);
  void KeepThroughStore();
  // Writes the image while the card is still this process's own; false
  // when it was not written.
  bool Store(std::span<const uint8_t> image, bool whole = false);
  bool StillOurs();
  void GiveBack();
  // Writes what the card holds only in memory; false when it was not kept.
  bool Settle();

  std::optional<vcard::Card> owned_;
  vcard::Card* card_;
  std::optional<ImageStore> store_;
  std::optional<CardLock> lock_;       // held during a burst of commands
  std::vector<uint8_t> saved_image_;  // what the file held when this process last read or wrote it
  bool on_disk_ = false;              // false while the file did not exist
  bool contents_current_ = false;     // the burst began with the files' contents
  bool held_elsewhere_ = false;       // the last burst found another process holding the lock
  std::optional<Lease> lease_;        // last: given back before the rest goes
};

}  // namespace tarnwick::skorra
