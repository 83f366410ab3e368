// fuzz_exports: the library's exports under a reader and card that answer
// from the fuzzer's input. The input is read front to back: one byte picks
// an export, one byte the reader handle (1 to 256), the export's arguments
// follow, then the answers the replay card gives during that call (see
// replay_session.h); then the next export, until the input is used up. Each
// input starts with the serial replay driver bound.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_source.h"
#include "common/check.h"
#include "exports/export_case.h"
#include "exports/replay_session.h"
#include "tarnwick.h"

namespace {

constexpr std::size_t kExportCount = 51;
constexpr int kMostCallsPerInput = 64;

const std::vector<twfuzz::ExportCase>& Exports() {
  static const std::vector<twfuzz::ExportCase> cases = [] {
    std::vector<twfuzz::ExportCase> all;
    twfuzz::AddReaderExports(all);
    twfuzz::AddFileExports(all);
    twfuzz::AddSecurityExports(all);
    twfuzz::AddRsaExports(all);
    twfuzz::AddCipherExports(all);
    twfuzz::Check(all.size() == kExportCount, "not every export is reachable");
    return all;
  }();
  return cases;
}

void StartBound() {
  twfuzz::SetCheckContext("start");
  twfuzz::AllowDriverCalls(0, 0);
  FreeLib();
  twfuzz::Check(InitialLib(1) == 1, "the serial replay driver did not bind");
}

void RunOneExport(twfuzz::ByteSource& in) {
  const auto& cases = Exports();
  const twfuzz::ExportCase& chosen = cases[in.Byte() % cases.size()];
  twfuzz::SetCheckContext(chosen.name);
  twfuzz::Call call{in, in.Byte() + 1u};
  twfuzz::AllowDriverCalls(0, call.reader);
  chosen.run(call);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  twfuzz::LoadReplayDrivers();
  twfuzz::ByteSource in(data, size);
  twfuzz::ReplayFrom(&in);
  StartBound();
  for (int i = 0; i < kMostCallsPerInput && !in.empty(); ++i) RunOneExport(in);
  return 0;
}
