// tarnwick_session_child: one application session through the library in a
// process of its own, for tests of what the card keeps between processes.
//
//   tarnwick_session_child <port number> <step>...
//
// Steps: select:<fid hex>, update:<data hex>, read:<byte count>,
// verify:<passphrase hex>. Each prints one line: the status word, and for a
// read that succeeded a space and the data in hex. Exit 0 when the reader
// opened, 2 when it did not.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tarnwick.h"

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

void RunStep(const std::string& step, tw_handle_t reader) {
  const std::string verb = step.substr(0, step.find(':'));
  const std::string arg = step.substr(step.find(':') + 1);
  int32_t sw = 0;
  std::vector<uint8_t> data;
  if (verb == "select") {
    sw = SelectFile(0x00, 0, static_cast<uint8_t>(std::stoul(arg, nullptr, 16)), reader);
  } else if (verb == "update") {
    data = FromHex(arg);
    sw = UpdateBin(static_cast<uint32_t>(data.size()), data.data(), reader);
    data.clear();
  } else if (verb == "read") {
    data.resize(std::stoul(arg));
    sw = ReadBin(static_cast<uint32_t>(data.size()), data.data(), reader);
  } else if (verb == "verify") {
    data = FromHex(arg);
    sw = VerifyPassphrase(data.data(), static_cast<uint8_t>(data.size()), 0x01, reader);
    data.clear();
  }
  std::printf("%04X", static_cast<unsigned>(sw));
  if (sw == 0x9000 && !data.empty()) {
    std::printf(" ");
    for (uint8_t b : data) std::printf("%02X", b);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || InitialLib(1) != 1) return 2;
  tw_handle_t reader = 0;
  if (OpenCom(static_cast<uint8_t>(std::atoi(argv[1])), &reader) != 0) return 2;
  ResetICC(static_cast<int32_t>(reader), 0, 0);
  for (int i = 2; i < argc; ++i) RunStep(argv[i], reader);
  CloseCom(&reader);
  FreeLib();
  return 0;
}
