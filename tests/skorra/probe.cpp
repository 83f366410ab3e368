// skorra_probe: opens one port of a driver library in a process of its own
// and sends commands, so that tests can check what survives between
// processes and what a killed process leaves behind.
//
//   skorra_probe <driver library> <port> [--repeat N [--pause MS]] <command hex>...
//
// Each command is hex without spaces; each answer prints as one line
// "SW DATA" (e.g. "9000 DEADBEEF"). --repeat sends the list N times (0:
// until killed) and prints nothing, pausing MS milliseconds after each
// round. Exit 0 when every command was answered
// 0x9000, 1 when one was not, 2 when the port did not open.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/os.h"

namespace {

std::vector<uint8_t> FromHex(const char* hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(hex + i, 2), nullptr, 16)));
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string error;
  void* module = testos::OpenLibrary(argv[1], error);
  if (module == nullptr) return 2;
  auto open = reinterpret_cast<uint32_t (*)(const char*)>(testos::FindFunction(module, "CT_open"));
  auto reset = reinterpret_cast<int32_t (*)(int32_t, int32_t, int32_t)>(testos::FindFunction(module, "ICC_reset"));
  auto transmit = reinterpret_cast<int32_t (*)(uint32_t, uint8_t, const uint8_t*, uint8_t*, uint8_t*)>(
      testos::FindFunction(module, "ICC_tsi_api"));
  auto close = reinterpret_cast<int32_t (*)(uint32_t)>(testos::FindFunction(module, "CT_close"));
  const uint32_t handle = open(argv[2]);
  if (handle == 0 || reset(static_cast<int32_t>(handle), 0, 0) != 0) return 2;

  int first = 3;
  long repeat = 1;
  if (argc > 4 && std::strcmp(argv[3], "--repeat") == 0) {
    repeat = std::strtol(argv[4], nullptr, 10);
    first = 5;
  }
  const bool quiet = first == 5;
  long pause_ms = 0;
  if (quiet && argc > 6 && std::strcmp(argv[5], "--pause") == 0) {
    pause_ms = std::strtol(argv[6], nullptr, 10);
    first = 7;
  }
  int result = 0;
  for (long round = 0; repeat == 0 || round < repeat; ++round) {
    for (int i = first; i < argc; ++i) {
      const std::vector<uint8_t> command = FromHex(argv[i]);
      uint8_t rsp[256];
      uint8_t rsp_len = 0;
      const int32_t sw = transmit(handle, static_cast<uint8_t>(command.size()), command.data(), &rsp_len, rsp);
      if (sw != 0x9000) result = 1;
      if (quiet) continue;
      std::printf("%04X ", static_cast<unsigned>(sw));
      for (int b = 0; b < rsp_len; ++b) std::printf("%02X", rsp[b]);
      std::printf("\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
  }
  close(handle);
  testos::CloseLibrary(module);
  return result;
}
