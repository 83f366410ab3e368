// The time of one command through the library, the USB driver and PC/SC,
// against the same command sent straight through SCardTransmit, in one run
// and on the same reader. Needs pcscd with a card in the reader:
//
//   pcsc_apdu_timing [ROUNDS] [READER-NAME-PART]
//
// The two paths take turns, a block of commands each, so that both see the
// same load on the machine; the median of each is printed in microseconds.
// The library path opens COM1 of libusbskorra.so, set to the same reader.
// The driver holds the card in a PC/SC transaction until it has been idle
// for 30 ms, so each block of the straight path waits (untimed) for that
// first; otherwise it would time the wait.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "pcsc_direct.h"
#include "tarnwick.h"

namespace {

// What SelectFile(0x00, 0, 0x01, reader) sends: select EF 0001.
constexpr uint8_t kSelect[] = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00};
constexpr int kBlock = 100;
// Longer than the driver keeps an idle transaction.
constexpr std::chrono::milliseconds kTransactionEnds{60};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

double LibraryMicros(tw_handle_t reader) {
  const auto start = std::chrono::steady_clock::now();
  SelectFile(0x00, 0, 0x01, reader);
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// COM1 through the library, or 0 when it did not open.
tw_handle_t OpenLibraryReader() {
  if (InitialLib(0) != 1) {
    std::fprintf(stderr, "library: libusbskorra.so not found beside libtarnwick.so\n");
    return 0;
  }
  tw_handle_t reader = 0;
  if (OpenCom(1, &reader) != 0 || ResetICC(static_cast<int32_t>(reader), 0, 0) != 0) {
    std::fprintf(stderr, "library: COM1 did not open (is pcscd running with a card in the reader?)\n");
    FreeLib();
    return 0;
  }
  return reader;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
  const char* reader_part = argc > 2 ? argv[2] : nullptr;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: pcsc_apdu_timing [ROUNDS] [READER-NAME-PART]\n");
    return 2;
  }
  if (reader_part != nullptr) setenv("SKORRA_PCSC_READER", reader_part, 1);
  setenv("SKORRA_BACKEND", "pcsc", 1);

  // The library resets the card on opening, which a connection made before
  // would see as a failed transmission: the straight path connects after.
  tw_handle_t reader = OpenLibraryReader();
  if (reader == 0) return 1;
  DirectCard* direct = DirectOpen(reader_part);
  if (direct == nullptr) {
    CloseCom(&reader);
    FreeLib();
    return 1;
  }
  std::vector<double> straight;
  std::vector<double> library;
  for (int done = 0; done < rounds; done += kBlock) {
    const int block = std::min(kBlock, rounds - done);
    for (int i = 0; i < block; ++i) library.push_back(LibraryMicros(reader));
    std::this_thread::sleep_for(kTransactionEnds);
    for (int i = 0; i < block; ++i) straight.push_back(DirectTransmitMicros(direct, kSelect, sizeof kSelect));
  }
  CloseCom(&reader);
  FreeLib();
  DirectClose(direct);
  if (*std::min_element(straight.begin(), straight.end()) < 0) {
    std::fprintf(stderr, "direct PC/SC: a transmission failed\n");
    return 1;
  }

  std::printf("%d rounds of 00 A4 00 00 02 00 01 00, the two paths taking turns in blocks of %d\n", rounds, kBlock);
  std::printf("median, SCardTransmit straight:            %8.1f us\n", Median(straight));
  std::printf("median, library + libusbskorra.so + PC/SC: %8.1f us\n", Median(library));
  return 0;
}
