// State of the recording test driver, shared by both driver variants and the
// tests that script them.
#include "support/recorder.h"

#include <cstdio>
#include <deque>

namespace twtest {
namespace {

struct State {
  std::deque<Answer> queue;
  Responder responder;
  Answer fallback;
  uint32_t open_result = 0x1234;
  int32_t close_result = 0;
  int32_t pass_result = 0;
  std::vector<Apdu> apdus;
  std::vector<Call> calls;
  std::vector<std::string> loads;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void Reset() {
  State& s = state();
  auto loads = std::move(s.loads);
  s = State{};
  s.loads = std::move(loads);
}

void Queue(Answer answer) { state().queue.push_back(std::move(answer)); }
void QueueSw(int32_t sw, std::vector<uint8_t> data) { Queue(Answer{sw, std::move(data), {}}); }
void SetResponder(Responder responder) { state().responder = std::move(responder); }
void SetDefault(Answer answer) { state().fallback = std::move(answer); }
void SetOpenResult(uint32_t handle) { state().open_result = handle; }
void SetCloseResult(int32_t result) { state().close_result = result; }
void SetPassResult(int32_t result) { state().pass_result = result; }

const std::vector<Apdu>& Apdus() { return state().apdus; }
const std::vector<Call>& Calls() { return state().calls; }
const std::vector<std::string>& LoadEvents() { return state().loads; }

Answer Respond(const Apdu& apdu) {
  State& s = state();
  s.apdus.push_back(apdu);
  if (!s.queue.empty()) {
    Answer a = std::move(s.queue.front());
    s.queue.pop_front();
    return a;
  }
  if (s.responder) {
    if (auto a = s.responder(apdu)) return *a;
  }
  return s.fallback;
}

void Record(Call call) { state().calls.push_back(std::move(call)); }
void RecordLoad(const std::string& event) { state().loads.push_back(event); }
uint32_t OpenResult() { return state().open_result; }
int32_t CloseResult() { return state().close_result; }
int32_t PassResult() { return state().pass_result; }

}  // namespace twtest
