// The recording test driver: built as libskorra.so and libusbskorra.so (and,
// with TW_PARTIAL_DRIVER, as a driver that lacks most names). It records
// every call in the recorder and answers from its script.
#include <algorithm>
#include <cstring>

#include "support/recorder.h"
#include "tarnwick_driver.h"

namespace {

const char* const kVariant = TW_DRIVER_VARIANT;

struct LoadNotice {
  LoadNotice() { twtest::RecordLoad(std::string("load ") + kVariant); }
  ~LoadNotice() { twtest::RecordLoad(std::string("unload ") + kVariant); }
} g_notice;

void RecordCall(const char* name, std::vector<int64_t> args, std::string port = {}) {
  twtest::Record({kVariant, name, std::move(port), std::move(args)});
}

}  // namespace

extern "C" {

TW_DRIVER_API uint32_t CT_open(const char* port) {
  RecordCall("CT_open", {}, port != nullptr ? port : "");
  return twtest::OpenResult();
}

TW_DRIVER_API int32_t ICC_reset(int32_t a, int32_t b, int32_t c) {
  RecordCall("ICC_reset", {a, b, c});
  return twtest::PassResult();
}

#if !defined(TW_PARTIAL_DRIVER)

TW_DRIVER_API int32_t CT_close(uint32_t h) {
  RecordCall("CT_close", {h});
  return twtest::CloseResult();
}

TW_DRIVER_API int32_t CT_reset(int32_t a) {
  RecordCall("CT_reset", {a});
  return twtest::PassResult();
}

TW_DRIVER_API int32_t ICC_set_NAD(int32_t a) {
  RecordCall("ICC_set_NAD", {a});
  return twtest::PassResult();
}

TW_DRIVER_API int32_t ICC_tsi_api(uint32_t h, uint8_t cmd_len, const uint8_t* cmd,
                                  uint8_t* rsp_len, uint8_t* rsp) {
  twtest::Apdu apdu;
  apdu.variant = kVariant;
  apdu.handle = h;
  apdu.cmd_len = cmd_len;
  apdu.frame.assign(cmd, cmd + cmd_len);
  apdu.rsp_len_before = *rsp_len;
  apdu.rsp_before.assign(rsp, rsp + 256);
  apdu.rsp_ptr = rsp;
  twtest::Answer answer = twtest::Respond(apdu);
  // A driver never writes more than the 256 bytes a one-byte length allows.
  std::size_t n = std::min<std::size_t>(answer.data.size(), 256);
  if (n != 0) std::memcpy(rsp, answer.data.data(), n);
  *rsp_len = answer.length.value_or(static_cast<uint8_t>(n));
  return answer.sw;
}

// Resolved by the library and never called; present so that the full
// variants export all twelve names.
TW_DRIVER_API int32_t ICC_message(void) { return 0; }
TW_DRIVER_API int32_t CHexToBin(void) { return 0; }
TW_DRIVER_API int32_t BinToCHex(void) { return 0; }
TW_DRIVER_API int32_t DESsubkey(void) { return 0; }
TW_DRIVER_API int32_t DESencrypt(void) { return 0; }
TW_DRIVER_API int32_t DESdecrypt(void) { return 0; }

#endif

}  // extern "C"
