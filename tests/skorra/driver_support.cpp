// Loads the driver, runs the probe and keeps test folders and variables.
#include "driver_support.h"

#include <stdexcept>

namespace skorratest {
namespace {

template <typename Fn>
void Resolve(void* module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(testos::FindFunction(module, name));
  if (fn == nullptr) throw std::runtime_error(std::string("driver lacks ") + name);
}

}  // namespace

Driver::Driver() {
  std::string error;
  module_ = testos::OpenLibrary(SKORRA_LIBRARY, error);
  if (module_ == nullptr) throw std::runtime_error("cannot load the driver: " + error);
  Resolve(module_, "CT_open", CT_open);
  Resolve(module_, "CT_close", CT_close);
  Resolve(module_, "CT_reset", CT_reset);
  Resolve(module_, "ICC_reset", ICC_reset);
  Resolve(module_, "ICC_set_NAD", ICC_set_NAD);
  Resolve(module_, "ICC_tsi_api", ICC_tsi_api);
}

Driver::~Driver() {
  if (module_ != nullptr) testos::CloseLibrary(module_);
}

Answer Send(const Driver& driver, uint32_t handle, const std::string& apdu_hex) {
  const std::vector<uint8_t> apdu = Bytes(apdu_hex);
  std::vector<uint8_t> rsp(256, 0);
  uint8_t rsp_len = 0xEE;
  Answer answer;
  answer.sw = driver.ICC_tsi_api(handle, static_cast<uint8_t>(apdu.size()), apdu.data(), &rsp_len, rsp.data());
  rsp.resize(rsp_len);
  answer.data = Hex(rsp);
  return answer;
}

testos::ChildId StartProbe(const std::vector<std::string>& args) {
  const testos::ChildId child = testos::Start(SKORRA_PROBE, args);
  if (child == -1) throw std::runtime_error("cannot start the probe");
  return child;
}

ProbeRun RunProbe(const std::vector<std::string>& args) {
  const testos::Finished finished = testos::Run(SKORRA_PROBE, args);
  return {finished.exit_code, finished.output};
}

uint32_t DriverTest::OpenAndPowerUp(const char* port) {
  const uint32_t handle = driver_.CT_open(port);
  if (handle != 0) {
    EXPECT_EQ(driver_.ICC_reset(static_cast<int32_t>(handle), 0, 0), 0);
  }
  return handle;
}

}  // namespace skorratest
