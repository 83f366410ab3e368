// The time of one command through the library, the USB driver and PC/SC,
// against the same command sent straight through SCardTransmit, in one run
// and on the same reader. Needs pcscd with a card in the reader:
//
//   pcsc_apdu_timing [ROUNDS] [READER-NAME-PART]
//
// Prints the median of each path in microseconds. The library path opens
// COM1 of libusbskorra.so (SKORRA_PCSC_READER picks the reader for it; it is
// set from READER-NAME-PART when given).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <chrono>

#include "pcsc_direct.h"
#include "tarnwick.h"

namespace {

// What SelectFile(0x00, 0, 0x01, reader) sends: select EF 0001.
constexpr uint8_t kSelect[] = {0x00, 0xA4, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

// Each round's time through the library; empty when the reader did not open.
std::vector<double> LibraryTimes(int rounds) {
  std::vector<double> times;
  if (InitialLib(0) != 1) {
    std::fprintf(stderr, "library: libusbskorra.so not found beside libtarnwick.so\n");
    return times;
  }
  tw_handle_t reader = 0;
  if (OpenCom(1, &reader) != 0 || ResetICC(static_cast<int32_t>(reader), 0, 0) != 0) {
    std::fprintf(stderr, "library: COM1 did not open (is pcscd running with a card in the reader?)\n");
    FreeLib();
    return times;
  }
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    SelectFile(0x00, 0, 0x01, reader);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  CloseCom(&reader);
  FreeLib();
  return times;
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

  std::vector<double> direct(static_cast<std::size_t>(rounds));
  if (DirectTransmitTimes(reader_part, kSelect, sizeof kSelect, rounds, direct.data()) != 0) return 1;
  const std::vector<double> library = LibraryTimes(rounds);
  if (library.empty()) return 1;

  std::printf("%d rounds of 00 A4 00 00 02 00 01 00\n", rounds);
  std::printf("median, SCardTransmit straight:           %8.1f us\n", Median(direct));
  std::printf("median, library + libusbskorra.so + PC/SC: %8.1f us\n", Median(library));
  return 0;
}
