// Runs commands on the virtual card and keeps its files in step, taking
// turns with the other processes that use the same files.
#include "vcard_backend.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <random>

#include "protocol/instructions.h"

namespace tarnwick::skorra {
namespace {

constexpr int kPortCount = 4;
// How long a command waits while another process runs a burst on the card.
constexpr std::chrono::seconds kPatience{5};

using Serial = std::array<uint8_t, 8>;

// A card in memory is a new card in every process: it draws its number.
Serial DrawnSerial() {
  std::random_device source;
  Serial serial{};
  for (uint8_t& byte : serial) byte = static_cast<uint8_t>(source());
  return serial;
}

// A card kept in a file is born when its file is first written, and it may
// be listed by several processes before that; its number comes from where it
// lives (FNV-1a of the absolute path), so every process sees the same one
// and nothing needs writing to keep it.
Serial SerialOfPath(const std::filesystem::path& path) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char c : std::filesystem::absolute(path).string()) {
    hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001B3ULL;
  }
  Serial serial{};
  for (std::size_t i = 0; i < serial.size(); ++i) serial[i] = static_cast<uint8_t>(hash >> (56 - 8 * i));
  return serial;
}

// The card a file holds before it is first written, or after it was deleted.
vcard::Card UnwrittenCard(const std::filesystem::path& path) {
  return vcard::Card(vcard::CardOptions{.serial = SerialOfPath(path)});
}

// Each card is touched only by its own port, under that port's lock.
std::optional<vcard::Card>& MemoryCard(int port_number) {
  static std::array<std::optional<vcard::Card>, kPortCount> cards;
  auto& card = cards[static_cast<std::size_t>(port_number - 1)];
  if (!card) card.emplace(vcard::CardOptions{.serial = DrawnSerial()});
  return card;
}

}  // namespace

std::unique_ptr<VirtualCardBackend> VirtualCardBackend::InMemory(int port_number) {
  if (port_number < 1 || port_number > kPortCount) return nullptr;
  return std::unique_ptr<VirtualCardBackend>(new VirtualCardBackend(*MemoryCard(port_number)));
}

std::unique_ptr<VirtualCardBackend> VirtualCardBackend::FromStore(ImageStore store, std::string& problem) {
  std::string why;
  // Held only while the file is read: the commands take the lock again.
  std::optional<CardLock> lock = CardLock::TakeWithin(store.lock_path(), kPatience, why);
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
    vcard::Card fresh = UnwrittenCard(store.path());
    std::vector<uint8_t> image = fresh.SaveImage();
    return std::unique_ptr<VirtualCardBackend>(
        new VirtualCardBackend(std::move(fresh), std::move(store), std::move(image), false));
  }
  std::optional<vcard::Card> card = vcard::Card::LoadImage(loaded.image.data(), loaded.image.size());
  if (!card) {
    problem = store.path().string() + ": truncated or damaged card image";
    return nullptr;
  }
  return std::unique_ptr<VirtualCardBackend>(
      new VirtualCardBackend(std::move(*card), std::move(store), std::move(loaded.image), true));
}

VirtualCardBackend::VirtualCardBackend(vcard::Card& card) : card_(&card) {}

VirtualCardBackend::VirtualCardBackend(vcard::Card card, ImageStore store, std::vector<uint8_t> saved_image,
                                       bool on_disk)
    : owned_(std::move(card)),
      card_(&*owned_),
      store_(std::move(store)),
      saved_image_(std::move(saved_image)),
      on_disk_(on_disk) {
  KeepThroughStore();
  lease_.emplace(Lease::Hooks{[this](std::string& problem) { return TakeLock(problem); }, [this] { GiveBack(); }});
}

// A process that ends with the port open still gives the card back.
VirtualCardBackend::~VirtualCardBackend() { lease_.reset(); }

// Tries a matching VERIFY gave back live only in memory until they are
// written here, before another process may look: left unwritten, programs
// that log in and end at once (a signing openssl) would each leave one try
// spent, until the card looked blocked after correct PINs.
void VirtualCardBackend::GiveBack() {
  Settle();
  lock_.reset();
}

bool VirtualCardBackend::Settle() {
  const std::vector<uint8_t> image = card_->SaveImage();
  return image == saved_image_ || Store(image);
}

// The burst's first command takes the lock and catches up with the files;
// contents that cannot be read leave the card without its memory for the
// burst.
bool VirtualCardBackend::TakeLock(std::string& problem) {
  std::string why;
  std::optional<CardLock> lock = CardLock::TakeWithin(store_->lock_path(), kPatience, why);
  held_elsewhere_ = !lock && why == CardLock::kInUse;
  if (!lock) {
    problem = store_->lock_path().string() + ": " + why;
    return false;
  }
  lock_.emplace(std::move(*lock));
  contents_current_ = CatchUp(problem);
  return true;
}

// At the start of a burst, under the lock: when another process changed the
// file since this one last read or wrote it, the card takes the file's
// contents, so that every write lands on the freshest contents. What the
// card forgets at reset (verified passphrases, current file) stays this
// process's own.
bool VirtualCardBackend::CatchUp(std::string& problem) {
  ImageStore::Loaded now = store_->Read();
  if (now.outcome == ImageStore::Outcome::kDamaged) {
    problem = store_->path().string() + ": " + now.problem;
    return false;
  }
  const bool exists = now.outcome == ImageStore::Outcome::kLoaded;
  if (exists == on_disk_ && (!exists || now.image == saved_image_)) return true;
  // A file deleted meanwhile is a fresh card, as at open, with the same serial.
  std::vector<uint8_t> image = exists ? std::move(now.image) : UnwrittenCard(store_->path()).SaveImage();
  if (!owned_->ReplaceContents(image.data(), image.size())) {
    problem = store_->path().string() + ": truncated or damaged card image";
    return false;
  }
  saved_image_ = std::move(image);
  on_disk_ = exists;
  return true;
}

// The journal is folded under the lease, on top of what other processes
// wrote, so that the image a fold writes holds their changes too.
void VirtualCardBackend::Close() {
  if (!lease_) return;
  std::string problem;
  lease_->Run(
      [&] {
        if (contents_current_ && Settle()) store_->Fold();
      },
      problem);
  lease_->GiveBack();
}

// The card spends a try through the store before it compares a secret.
void VirtualCardBackend::KeepThroughStore() {
  owned_->SetDurableSave([this](std::span<const uint8_t> image) { return Store(image); });
}

bool VirtualCardBackend::Store(std::span<const uint8_t> image, bool whole) {
  if (!StillOurs() || !store_->Write(image, whole)) return false;
  saved_image_.assign(image.begin(), image.end());
  on_disk_ = true;
  return true;
}

// A lock file deleted or replaced behind this process's back lets another
// process run a burst of its own. Before each write the lock is checked:
// when the path no longer names the locked file, the lock is taken again on
// what it names now, and kept only if nobody wrote the card in between;
// otherwise this process's view of the card is stale and the write is
// refused, so that it never overwrites what another process was told it
// had written. The next burst starts again from the file.
bool VirtualCardBackend::StillOurs() {
  if (!lock_) return false;
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
  return false;
}

bool VirtualCardBackend::PowerUp() {
  card_->Reset();
  return true;
}

// A card in a file runs each command under the lease. A card that another
// process kept busy all the while is there, only busy: 0x6FF0, never the
// 0xFFFF of a card gone, after which callers give up on the card.
Reply VirtualCardBackend::Transmit(std::span<const uint8_t> command) {
  if (!lease_) return Run(command);
  Reply reply{{}, sw::kExchangeFailed};
  std::string problem;
  const bool ran = lease_->Run(
      [&] {
        // The contents could not be read: the card has lost its memory.
        reply = contents_current_ ? Run(command) : Reply{{}, sw::kMemoryFailure};
      },
      problem);
  if (!ran && held_elsewhere_) reply.sw = sw::kCardBusy;
  // The application only sees the status word; a person needs the reason.
  if (!ran || !problem.empty()) std::fprintf(stderr, "skorra: %s\n", problem.c_str());
  return reply;
}

Reply VirtualCardBackend::Run(std::span<const uint8_t> command) {
  // The card reads nothing through the pointer of an empty command, but it
  // gets a valid one all the same.
  static constexpr uint8_t kNothing = 0;
  vcard::Answer answer = card_->Process(command.empty() ? &kNothing : command.data(), command.size());
  if (!card_->TakeChanged() || !store_) return {std::move(answer.data), answer.sw};
  // A new passphrase or key goes into the image itself, so that the one it
  // replaced does not stay there behind a journal record.
  return SaveOrRollBack(std::move(answer), protocol::ReplacesSecret(command));
}

std::string VirtualCardBackend::Description() const {
  return store_ ? "virtual card in " + store_->path().string() : "virtual card in memory";
}

// A change the file did not take is undone: the card goes back to what the
// file holds (as after a power-up), so that what the application was told
// and what a later process finds agree.
Reply VirtualCardBackend::SaveOrRollBack(vcard::Answer answer, bool whole) {
  if (Store(card_->SaveImage(), whole)) return {std::move(answer.data), answer.sw};
  if (std::optional<vcard::Card> saved = vcard::Card::LoadImage(saved_image_.data(), saved_image_.size())) {
    *owned_ = std::move(*saved);
    KeepThroughStore();
  }
  // The card could not keep what the command changed.
  return {{}, sw::kMemoryFailure};
}

}  // namespace tarnwick::skorra
