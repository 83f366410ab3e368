// Runs commands on the virtual card and keeps its files in step.
#include "vcard_backend.h"

#include <array>

namespace tarnwick::skorra {
namespace {

constexpr int kPortCount = 4;

// Each slot is touched only by its own port, under that port's lock.
std::optional<vcard::Card>& MemoryCard(int port_number) {
  static std::array<std::optional<vcard::Card>, kPortCount> cards;
  auto& card = cards[static_cast<std::size_t>(port_number - 1)];
  if (!card) card.emplace();
  return card;
}

}  // namespace

std::unique_ptr<VirtualCardBackend> VirtualCardBackend::InMemory(int port_number) {
  if (port_number < 1 || port_number > kPortCount) return nullptr;
  return std::unique_ptr<VirtualCardBackend>(new VirtualCardBackend(*MemoryCard(port_number)));
}

std::unique_ptr<VirtualCardBackend> VirtualCardBackend::FromStore(ImageStore store, std::string& problem) {
  std::string why;
  std::optional<CardLock> lock = CardLock::Take(store.lock_path(), why);
  if (!lock) {
    problem = store.lock_path().string() + ": " + why;
    return nullptr;
  }
  store.RemoveLeftovers();
  ImageStore::Loaded loaded = store.Read();
  if (loaded.outcome == ImageStore::Outcome::kDamaged) {
    problem = store.path().string() + ": " + loaded.problem;
    return nullptr;
  }
  if (loaded.outcome == ImageStore::Outcome::kMissing) {
    vcard::Card fresh;
    std::vector<uint8_t> image = fresh.SaveImage();
    return std::unique_ptr<VirtualCardBackend>(
        new VirtualCardBackend(std::move(fresh), std::move(store), std::move(*lock), std::move(image), false));
  }
  std::optional<vcard::Card> card = vcard::Card::LoadImage(loaded.image.data(), loaded.image.size());
  if (!card) {
    problem = store.path().string() + ": truncated or damaged card image";
    return nullptr;
  }
  return std::unique_ptr<VirtualCardBackend>(
      new VirtualCardBackend(std::move(*card), std::move(store), std::move(*lock), std::move(loaded.image), true));
}

VirtualCardBackend::VirtualCardBackend(vcard::Card& card) : card_(&card) {}

VirtualCardBackend::VirtualCardBackend(vcard::Card card, ImageStore store, CardLock lock,
                                       std::vector<uint8_t> saved_image, bool on_disk)
    : owned_(std::move(card)),
      card_(&*owned_),
      store_(std::move(store)),
      lock_(std::move(lock)),
      saved_image_(std::move(saved_image)),
      on_disk_(on_disk) {
  KeepThroughStore();
}

void VirtualCardBackend::Close() {
  if (!store_ || !StillOurs()) return;
  const std::vector<uint8_t> image = card_->SaveImage();
  if (image == saved_image_ || Store(image)) store_->Fold();
}

// The card spends a try through the store before it compares a secret.
void VirtualCardBackend::KeepThroughStore() {
  owned_->SetDurableSave([this](std::span<const uint8_t> image) { return Store(image); });
}

bool VirtualCardBackend::Store(std::span<const uint8_t> image) {
  if (!StillOurs() || !store_->Write(image)) return false;
  saved_image_.assign(image.begin(), image.end());
  on_disk_ = true;
  return true;
}

// A lock file deleted or replaced behind this process's back lets another
// process open the card. Before each write the lock is checked: when the
// path no longer names the locked file, the lock is taken again on what it
// names now, and kept only if nobody wrote the card in between; otherwise
// this process's view of the card is stale and it writes no more, so that
// it never overwrites what another process was told it had written.
bool VirtualCardBackend::StillOurs() {
  if (lock_lost_) return false;
  if (lock_->StillHeld()) return true;
  std::string why;
  std::optional<CardLock> again = CardLock::Take(store_->lock_path(), why);
  if (again) {
    const ImageStore::Loaded now = store_->Read();
    const bool untouched = on_disk_ ? now.outcome == ImageStore::Outcome::kLoaded && now.image == saved_image_
                                    : now.outcome == ImageStore::Outcome::kMissing;
    if (untouched) {
      lock_.reset();
      lock_.emplace(std::move(*again));
      return true;
    }
  }
  lock_lost_ = true;
  return false;
}

bool VirtualCardBackend::PowerUp() {
  card_->Reset();
  return true;
}

Reply VirtualCardBackend::Transmit(std::span<const uint8_t> command) {
  // The card reads nothing through the pointer of an empty command, but it
  // gets a valid one all the same.
  static constexpr uint8_t kNothing = 0;
  vcard::Answer answer = card_->Process(command.empty() ? &kNothing : command.data(), command.size());
  if (!card_->TakeChanged() || !store_) return {std::move(answer.data), answer.sw};
  return SaveOrRollBack(std::move(answer));
}

std::string VirtualCardBackend::Description() const {
  return store_ ? "virtual card in " + store_->path().string() : "virtual card in memory";
}

// A change the file did not take is undone: the card goes back to what the
// file holds (as after a power-up), so that what the application was told
// and what a later process finds agree.
Reply VirtualCardBackend::SaveOrRollBack(vcard::Answer answer) {
  if (Store(card_->SaveImage())) return {std::move(answer.data), answer.sw};
  if (std::optional<vcard::Card> saved = vcard::Card::LoadImage(saved_image_.data(), saved_image_.size())) {
    *owned_ = std::move(*saved);
    KeepThroughStore();
  }
  // The card could not keep what the command changed.
  return {{}, sw::kMemoryFailure};
}

}  // namespace tarnwick::skorra
