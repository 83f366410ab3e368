// One card's files in the card folder (card1.img and card1.journal for COM1
// and so on): the image, replaced atomically now and then, and a journal
// beside it to which each change appends one record and one sync. The
// image carries its length and a digest, the journal's records a check, so
// a damaged file is told from a card. docs/skorra-driver.md has the rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "journal.h"
#include "store_files.h"

namespace tarnwick::skorra {

class ImageStore {
 public:
  ImageStore(std::filesystem::path folder, int port_number);

  enum class Outcome { kLoaded, kMissing, kDamaged };
  struct Loaded {
    Outcome outcome;
    std::vector<uint8_t> image;  // the card's current image, when loaded
    std::string problem;         // why not, when damaged
  };
  // The card as its files hold it: the image with every committed journal
  // record applied; a torn last record (a write cut short) is ignored. A
  // missing image is a fresh card; a journal without its image, a file that
  // cannot be read, or a journal damaged before its last record is damaged,
  // and nothing is written. The journal is read before the image, so a
  // fold running meanwhile shows the old state or the new one.
  Loaded Read();

  // Makes `image` the card's durable state, that of the last Read or Write:
  // a record of the bytes that differ appended to the journal and synced
  // (the image is replaced instead when there is none yet, or the journal
  // has grown past its limit or cannot be appended to). Nothing is written
  // when the files already hold the image. False when the image was not
  // kept, or when the files are no longer the ones read or written last.
  // `whole` replaces the image even so: what it replaces must not stay
  // in the files.
  bool Write(std::span<const uint8_t> image, bool whole = false);

  // Folds the journal into the image: the image replaced atomically as a
  // whole, then the journal removed. A process killed in between leaves a
  // journal that names the old image, which Read ignores.
  bool Fold();

  // Removes the temporary files (.card1.img.*, .card1.journal.*) that a
  // writer killed before its rename left behind: whole images, passphrases
  // and keys included. Only while holding the card's lock, when no writer
  // of this card runs.
  void RemoveLeftovers() const;

  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& journal_path() const { return journal_path_; }
  // The file whose lock keeps the image to one process: .card1.lock.
  std::filesystem::path lock_path() const { return folder_ / ("." + path_.stem().string() + ".lock"); }

 private:
  // kReplace: a journal file is there that takes no more records (torn,
  // stale, or an append failed); the next change replaces the image.
  enum class Journal { kNone, kAppendable, kReplace };

  bool Replace(std::span<const uint8_t> image);
  bool Append(std::span<const uint8_t> image);
  bool InPlace() const;

  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::filesystem::path journal_path_;
  bool known_ = false;  // held_ is what the files hold
  bool image_exists_ = false;
  std::vector<uint8_t> held_;
  journal::Digest image_digest_{};  // of the image file itself, journal aside
  files::FileId image_id_;
  Journal journal_ = Journal::kNone;
  files::FileId journal_id_;
  uint64_t journal_size_ = 0;
  uint32_t sequence_ = 0;  // of the last record in the journal
};

}  // namespace tarnwick::skorra
