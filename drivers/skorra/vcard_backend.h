// The virtual card behind a port: kept in memory for the life of the
// process, or in its files, to which every state change is written.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "backend.h"
#include "card_lock.h"
#include "image_store.h"
#include "vcard/card.h"

namespace tarnwick::skorra {

class VirtualCardBackend final : public Backend {
 public:
  // The process-wide card of a port (1 to 4), created fresh on first use;
  // it outlives closing the port.
  static std::unique_ptr<VirtualCardBackend> InMemory(int port_number);

  // The card saved in the store, held by this process alone while the
  // backend lives; a missing file gives a fresh card. Temporary files a
  // killed writer left are removed. nullptr and a problem text when another
  // process holds the card, its lock file cannot be opened or the file is
  // damaged: a damaged card is never silently replaced by a fresh one,
  // which would lose its contents.
  static std::unique_ptr<VirtualCardBackend> FromStore(ImageStore store, std::string& problem);


  // Writes what the card holds only in memory (the tries a matching VERIFY
  // gave back) and folds the journal into the image. A process that ends
  // with the port open leaves the journal, which the next open replays.
  void Close() override;
  bool PowerUp() override;
  Reply Transmit(std::span<const uint8_t> command) override;
  std::string Description() const override;

 private:
  explicit VirtualCardBackend(vcard::Card& card);
  VirtualCardBackend(vcard::Card card, ImageStore store, CardLock lock, std::vector<uint8_t> saved_image,
                     bool on_disk);
  Reply SaveOrRollBack(vcard::Answer answer);
  void KeepThroughStore();
  // Writes the image while the card is still this process's own; false
  // when it was not written.
  bool Store(std::span<const uint8_t> image);
  bool StillOurs();

  std::optional<vcard::Card> owned_;
  vcard::Card* card_;
  std::optional<ImageStore> store_;
  std::optional<CardLock> lock_;
  std::vector<uint8_t> saved_image_;  // what the file holds
  bool on_disk_ = false;              // false while the file does not exist
  bool lock_lost_ = false;            // another process may have written the card
};

}  // namespace tarnwick::skorra
