// One card's image file in the card folder (card1.img for COM1 and so on):
// read at open, replaced atomically after every change. The file holds the
// card's own image, which carries its length and a digest, so the card
// itself tells a damaged file from a card.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::skorra {

class ImageStore {
 public:
  ImageStore(std::filesystem::path folder, int port_number);

  enum class Outcome { kLoaded, kMissing, kDamaged };
  struct Loaded {
    Outcome outcome;
    std::vector<uint8_t> image;  // the file's bytes, when loaded
    std::string problem;         // why not, when damaged
  };
  // A missing file is a fresh card; a file that cannot be read is damaged.
  Loaded Read() const;

  // Replaces the file with the image: written to a temporary file in the
  // same folder, flushed to disk, renamed over the old file, and the folder
  // flushed. A process killed at any point leaves the old or the new file.
  // False when the new image did not take the old one's place.
  bool Write(std::span<const uint8_t> image) const;

  // Removes the temporary files (.card1.img.*) that a writer killed before
  // its rename left behind: whole images, passphrases and keys included.
  // Only while holding the card's lock, when no writer of this card runs.
  void RemoveLeftovers() const;

  const std::filesystem::path& path() const { return path_; }
  // The file whose lock keeps the image to one process: .card1.lock.
  std::filesystem::path lock_path() const { return folder_ / ("." + path_.stem().string() + ".lock"); }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

}  // namespace tarnwick::skorra
