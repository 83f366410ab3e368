// What a card kept in a file costs per command, against the disk's own
// bound: 256 UPDATE BINARY commands of 128 bytes and 256 matching VERIFY
// commands on a card in FOLDER, each beside 256 appends of 128 bytes, each
// followed by fdatasync, to a plain file in the same folder:
//
//   persistence_bench [FOLDER] [ROUNDS]
//
// FOLDER (default: a new folder under the current one, removed afterwards)
// should be on the disk the cards live on; /tmp is often a tmpfs, where a
// sync costs nothing. The bound and the card take turns, ROUNDS times
// (default 5), and the medians are printed with their ratio.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tarnwick.h"

namespace {

constexpr int kCommands = 256;
constexpr uint32_t kPiece = 128;
constexpr uint8_t kPassphrase[] = {'1', '2', '3', '4', '5', '6', '7', '8'};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

template <typename Work>
double Milliseconds(Work work) {
  const auto start = std::chrono::steady_clock::now();
  if (!work()) return -1;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The disk's bound: one durable append of a command's size per command.
bool SyncedAppends(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::vector<uint8_t> piece(kPiece, 0x5A);
  bool ok = true;
  for (int i = 0; ok && i < kCommands; ++i)
    ok = ::write(fd, piece.data(), piece.size()) == static_cast<ssize_t>(piece.size()) && ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// UpdateBin sends 128-byte pieces: 32 KiB is 256 commands.
bool Updates(tw_handle_t reader, uint8_t fill) {
  const std::vector<uint8_t> data(kCommands * kPiece, fill);
  return UpdateBin(static_cast<uint32_t>(data.size()), data.data(), reader) == 0x9000;
}

bool Verifies(tw_handle_t reader) {
  for (int i = 0; i < kCommands; ++i)
    if (VerifyPassphrase(kPassphrase, sizeof kPassphrase, 0x01, reader) != 0x9000) return false;
  return true;
}

struct Pair {
  const char* name;
  std::vector<double> card, bound;
};

void Report(const Pair& p) {
  const double card = Median(p.card), bound = Median(p.bound);
  std::printf("%-22s card %8.1f ms  bound %8.1f ms  %5.2fx\n", p.name, card, bound, card / bound);
}

}  // namespace

int main(int argc, char** argv) {
  const bool own_folder = argc < 2;
  std::string folder = own_folder ? "persistence_bench.XXXXXX" : argv[1];
  if (own_folder && ::mkdtemp(folder.data()) == nullptr) return 1;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: persistence_bench [FOLDER] [ROUNDS]\n");
    return 2;
  }
  const std::filesystem::path plain = std::filesystem::path(folder) / "bound.bin";
  ::setenv("SKORRA_VCARD_DIR", folder.c_str(), 1);
  tw_handle_t reader = 0;
  if (InitialLib(1) != 1 || OpenCom(1, &reader) != 0 || ResetICC(static_cast<int32_t>(reader), 0, 0) != 0 ||
      SelectFile(0x00, 0, 0x01, reader) != 0x9000) {
    std::fprintf(stderr, "no card in %s\n", folder.c_str());
    return 1;
  }
  Pair updates{"256 x UPDATE BINARY", {}, {}}, verifies{"256 x VERIFY (match)", {}, {}};
  bool ok = Updates(reader, 0xFF);  // the image exists before the first turn
  for (int r = 0; ok && r < rounds; ++r) {
    updates.bound.push_back(Milliseconds([&] { return SyncedAppends(plain); }));
    updates.card.push_back(Milliseconds([&] { return Updates(reader, static_cast<uint8_t>(r)); }));
    verifies.bound.push_back(Milliseconds([&] { return SyncedAppends(plain); }));
    verifies.card.push_back(Milliseconds([&] { return Verifies(reader); }));
    ok = std::min({updates.bound.back(), updates.card.back(), verifies.bound.back(), verifies.card.back()}) >= 0;
  }
  CloseCom(&reader);
  FreeLib();
  if (own_folder) std::filesystem::remove_all(folder);
  if (!ok) {
    std::fprintf(stderr, "a command or an append failed\n");
    return 1;
  }
  std::printf("median of %d rounds; bound: %d appends of %u bytes, each fdatasync'ed\n", rounds, kCommands, kPiece);
  Report(updates);
  Report(verifies);
  return 0;
}
