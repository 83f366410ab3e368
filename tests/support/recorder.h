// The recording test driver's control panel: the test driver libraries
// (libskorra.so / libusbskorra.so built from one source) record every call
// here and take their answers from here, so tests script a card's answers
// and read back the exact bytes the library sent.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/hex.h"

namespace twtest {

// One scripted answer of ICC_tsi_api.
struct Answer {
  int32_t sw = 0x9000;
  std::vector<uint8_t> data;     // written to the start of the response buffer
  std::optional<uint8_t> length; // the response length reported; data.size() when unset
};

// One ICC_tsi_api call as the driver saw it.
struct Apdu {
  std::string variant;            // "serial" or "usb"
  uint32_t handle = 0;
  uint8_t cmd_len = 0;
  std::vector<uint8_t> frame;     // exactly cmd_len bytes
  uint8_t rsp_len_before = 0;     // the response length byte at entry
  std::vector<uint8_t> rsp_before;  // the first 256 response bytes at entry
  const void* rsp_ptr = nullptr;
};

// Any other driver call: its name and integer arguments.
struct Call {
  std::string variant;
  std::string name;               // "CT_open", "CT_close", "CT_reset", "ICC_reset", "ICC_set_NAD"
  std::string port;               // CT_open only
  std::vector<int64_t> args;
};

using Responder = std::function<std::optional<Answer>(const Apdu&)>;

// Forgets calls, answers and results; the default answer becomes 0x9000.
void Reset();

// Answers given in order, before the responder and the default.
void Queue(Answer answer);
void QueueSw(int32_t sw, std::vector<uint8_t> data = {});
// Consulted after the queue; returning nullopt falls back to the default.
void SetResponder(Responder responder);
void SetDefault(Answer answer);

// Results of the other driver functions.
void SetOpenResult(uint32_t handle);
void SetCloseResult(int32_t result);
void SetPassResult(int32_t result);  // CT_reset, ICC_reset, ICC_set_NAD

const std::vector<Apdu>& Apdus();
const std::vector<Call>& Calls();
// "load serial", "unload serial", ... in the order the drivers were loaded
// and unloaded (not cleared by Reset).
const std::vector<std::string>& LoadEvents();

// Driver side.
Answer Respond(const Apdu& apdu);
void Record(Call call);
void RecordLoad(const std::string& event);
uint32_t OpenResult();
int32_t CloseResult();
int32_t PassResult();

}  // namespace twtest
