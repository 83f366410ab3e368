// The card store's policy, the same on every system: when a change is a
// journal record and when it replaces the image, and what a read accepts.
#include "image_store.h"

#include <algorithm>
#include <system_error>

namespace tarnwick::skorra {
namespace {

// The journal is folded into the image once it outgrows the image or this,
// whichever is larger: replaying it stays cheap, and the folder holds at
// most about twice the card.
constexpr std::size_t kJournalFloor = 64 * 1024;

ImageStore::Loaded Damaged(const std::filesystem::path& file, const std::string& problem) {
  return {ImageStore::Outcome::kDamaged, {}, file.filename().string() + ": " + problem};
}

}  // namespace

ImageStore::ImageStore(std::filesystem::path folder, int port_number)
    : folder_(std::move(folder)),
      path_(folder_ / ("card" + std::to_string(port_number) + ".img")),
      journal_path_(folder_ / ("card" + std::to_string(port_number) + ".journal")) {}

ImageStore::Loaded ImageStore::Read() {
  known_ = false;
  const files::Contents journal = files::ReadRegular(journal_path_);
  files::Contents image = files::ReadRegular(path_);
  if (image.found == files::Contents::Found::kRefused) return Damaged(path_, image.problem);
  if (journal.found == files::Contents::Found::kRefused) return Damaged(journal_path_, journal.problem);
  if (image.found == files::Contents::Found::kMissing) {
    if (journal.found != files::Contents::Found::kMissing) return Damaged(journal_path_, "a journal without its image");
    held_.clear();
    image_exists_ = false;
    journal_ = Journal::kNone;
    known_ = true;
    return {Outcome::kMissing, {}, {}};
  }
  image_digest_ = journal::Of(image.bytes);
  journal_ = Journal::kNone;
  sequence_ = 0;
  if (journal.found == files::Contents::Found::kRead) {
    const journal::Replay replay = journal::Apply(journal.bytes, image.bytes);
    if (replay.outcome == journal::Replay::Outcome::kDamaged) return Damaged(journal_path_, replay.problem);
    const bool appendable = replay.outcome == journal::Replay::Outcome::kApplied && !replay.torn;
    journal_ = appendable ? Journal::kAppendable : Journal::kReplace;
    journal_id_ = journal.id;
    journal_size_ = replay.committed;
    sequence_ = replay.last_sequence;
  }
  held_ = image.bytes;
  image_exists_ = true;
  image_id_ = image.id;
  known_ = true;
  return {Outcome::kLoaded, std::move(image.bytes), {}};
}

bool ImageStore::Write(std::span<const uint8_t> image, bool whole) {
  if (known_ && std::equal(image.begin(), image.end(), held_.begin(), held_.end())) return InPlace();
  if (!known_ || !image_exists_ || journal_ == Journal::kReplace || whole) return Replace(image);
  return Append(image);
}

bool ImageStore::Fold() {
  if (!known_ || journal_ == Journal::kNone) return true;
  const std::vector<uint8_t> image = held_;
  return Replace(image);
}

bool ImageStore::Replace(std::span<const uint8_t> image) {
  if (known_ && !InPlace()) return false;
  if (!files::ReplaceDurably(path_, image, image_id_)) return false;
  held_.assign(image.begin(), image.end());
  image_digest_ = journal::Of(image);
  image_exists_ = true;
  known_ = true;
  // The journal now names an image that is gone: Read ignores it, and the
  // next record starts a new one in its place whether or not it goes now.
  if (journal_ != Journal::kNone) files::RemoveDurably(journal_path_);
  journal_ = Journal::kNone;
  journal_size_ = 0;
  sequence_ = 0;
  return true;
}

// The first record after a fold starts the journal: header and record
// written to a file of their own and renamed into place, so that a journal
// always has a whole header. Later records are appended.
bool ImageStore::Append(std::span<const uint8_t> image) {
  if (!InPlace()) return false;
  const std::vector<uint8_t> record = journal::Record(sequence_ + 1, held_, image);
  if (journal_size_ + record.size() > std::max(kJournalFloor, held_.size())) return Replace(image);
  bool kept = false;
  if (journal_ == Journal::kNone) {
    std::vector<uint8_t> file = journal::Header(image_digest_);
    file.insert(file.end(), record.begin(), record.end());
    kept = files::ReplaceDurably(journal_path_, file, journal_id_);
    journal_size_ = kept ? file.size() : 0;
  } else {
    kept = files::AppendDurably(journal_path_, journal_id_, journal_size_, record);
    journal_size_ += kept ? record.size() : 0;
  }
  if (!kept) {
    // What the journal holds past its last good record is unknown now.
    if (journal_ == Journal::kAppendable) journal_ = Journal::kReplace;
    return false;
  }
  journal_ = Journal::kAppendable;
  ++sequence_;
  held_.assign(image.begin(), image.end());
  return true;
}

// Writes go only to the files this store read or wrote last; anything else
// there (a file moved in, a folder removed) means the card is not where its
// state was kept.
bool ImageStore::InPlace() const {
  if (image_exists_ && !files::StillNames(path_, image_id_)) return false;
  return journal_ != Journal::kAppendable || files::StillNames(journal_path_, journal_id_);
}

void ImageStore::RemoveLeftovers() const {
  // Every writer names its temporary file "." + the file's name + "." and
  // a suffix of its own; nothing else in the folder starts so.
  const std::string prefixes[] = {"." + path_.filename().string() + ".", "." + journal_path_.filename().string() + "."};
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    for (const std::string& prefix : prefixes) {
      if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
          it->is_regular_file(error) && !error) {
        std::filesystem::remove(it->path(), error);
      }
    }
    error.clear();
  }
}

}  // namespace tarnwick::skorra
