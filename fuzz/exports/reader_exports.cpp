// Driver binding, reader session and log exports under the replay driver.
#include <vector>

#include "common/buffers.h"
#include "common/check.h"
#include "exports/export_case.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

constexpr uint8_t kHighestPort = 4;
constexpr std::size_t kLongestLogText = 64;

void RunInitialLib(Call& c) {
  // Both replay drivers are always loadable, whatever the selector.
  Check(InitialLib(c.in.Byte()) == 1, "no driver bound");
}

void RunFreeLib(Call&) { FreeLib(); }

void RunOpenCom(Call& c) {
  const uint8_t port = c.in.Byte();
  OutputValue<tw_handle_t> handle;
  const int32_t result = OpenCom(port, handle.get());
  if (port > kHighestPort)
    Check(result == 2 && handle.Untouched(), "a port above 4 was not refused untouched");
  else
    Check(result == 0 || result == 1, "OpenCom result out of range");
}

void RunCloseCom(Call& c) {
  OutputValue<tw_handle_t> handle;
  const tw_handle_t open = c.in.U32();
  *handle.get() = open;
  const int32_t result = CloseCom(handle.get());
  if (open == 0)
    Check(result == 2 && handle.value() == 0, "closing no reader was not refused");
  else
    Check(result == 0 || result == 1, "CloseCom result out of range");
}

void RunResetReader(Call& c) { ResetReader(static_cast<int32_t>(c.in.U32())); }

void RunResetICC(Call& c) {
  const auto a = static_cast<int32_t>(c.in.U32());
  const auto b = static_cast<int32_t>(c.in.U32());
  ResetICC(a, b, static_cast<int32_t>(c.in.U32()));
}

void RunSetNad(Call& c) { setNAD(static_cast<int32_t>(c.in.U32())); }

void RunChangeProtocal(Call& c) {
  const uint8_t selector = c.in.Byte();
  c.Expect(1);
  ChangeProtocal(selector, c.reader);
}

void RunWriteLog(Call& c) {
  std::vector<uint8_t> text(c.in.Byte() % kLongestLogText + 1);
  c.in.Fill(text.data(), text.size() - 1);
  text.back() = 0;
  InputBytes zero_terminated(text.data(), text.size());
  const int32_t result = writeLog(reinterpret_cast<const char*>(zero_terminated.get()),
                                  static_cast<int32_t>(c.in.U32()));
  Check(result == 0 || result == -1, "writeLog result out of range");
}

}  // namespace

void AddReaderExports(std::vector<ExportCase>& cases) {
  cases.insert(cases.end(), {{"InitialLib", RunInitialLib},
                             {"FreeLib", RunFreeLib},
                             {"OpenCom", RunOpenCom},
                             {"CloseCom", RunCloseCom},
                             {"ResetReader", RunResetReader},
                             {"ResetICC", RunResetICC},
                             {"setNAD", RunSetNad},
                             {"ChangeProtocal", RunChangeProtocal},
                             {"writeLog", RunWriteLog}});
}

}  // namespace twfuzz
