// tarnwick-demo: plays an application's whole run against the card in
// the reader at COM1 (the virtual card when the built-in driver is bound)
// and exits 0 only when every step succeeded.
#include <openssl/sha.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "steps.h"
#include "tarnwick.h"

namespace demo {
namespace {

// The fresh card's passphrase 01, its key 01 (two-key triple-DES) and the
// files it carries.
constexpr uint8_t kPassphrase[] = {'1', '2', '3', '4', '5', '6', '7', '8'};
constexpr uint8_t kPassphraseRef = 0x01;
constexpr uint8_t kKey01[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
constexpr uint8_t kDataFile = 0x01;    // EF 0001, transparent
constexpr uint8_t kRecordSfi = 0x02;   // EF 0002, records
constexpr uint8_t kKeySlot = 0x01;     // RSA key slot

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

std::string HexPrefix(const uint8_t* bytes, std::size_t n) {
  std::string text;
  char two[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02X", bytes[i]);
    text += two;
  }
  return text;
}

void FilesAndRecords(StepPrinter& s, tw_handle_t reader) {
  s.Step("select EF 0001", SelectFile(0x00, 0, kDataFile, reader));
  const std::vector<uint8_t> data = Pattern(300, 0x11);
  s.Step("write 300 bytes to EF 0001", UpdateBin(static_cast<uint32_t>(data.size()), data.data(), reader));
  std::vector<uint8_t> back(data.size());
  const int32_t read = ReadBin(static_cast<uint32_t>(back.size()), back.data(), reader);
  s.Step("read the 300 bytes back", read, back == data, back == data ? "same bytes" : "bytes differ");

  const char record[] = "first record of the demo";
  const auto length = static_cast<uint8_t>(std::strlen(record));
  s.Step("append a record to EF 0002 (SFI 2)",
         AppendRecord(kRecordSfi, length, reinterpret_cast<const uint8_t*>(record), reader));
  std::vector<uint8_t> got(length);
  const int32_t got_sw = ReadRecord(kRecordSfi, 1, length, got.data(), reader);
  const bool same = std::memcmp(got.data(), record, length) == 0;
  s.Step("read record 1 of EF 0002", got_sw, same, same ? "\"" + std::string(record) + "\"" : "record differs");
}

void KeyPairAndSignature(StepPrinter& s, tw_handle_t reader) {
  std::array<uint8_t, 128> modulus{};
  uint32_t modulus_length = 0;
  const int32_t generated = RsaGenerateKeyPair(0, kKeySlot, modulus.data(), &modulus_length, reader);
  s.Step("generate an RSA-1024 key pair in slot 1", generated, modulus_length == 128,
         "modulus " + HexPrefix(modulus.data(), 6) + "...");

  const std::vector<uint8_t> message = Pattern(20, 0x42);
  std::array<uint8_t, 256> signature{};
  uint32_t signature_length = 0;
  const int32_t signed_sw = rsaPrivateSign(kKeySlot, message.data(), static_cast<uint8_t>(message.size()),
                                           signature.data(), &signature_length, reader);
  s.Step("sign 20 bytes with the private key", signed_sw, signature_length == 128,
         std::to_string(signature_length) + "-byte signature");

  std::array<uint8_t, 256> recovered{};
  uint32_t recovered_length = 0;
  const int32_t verified =
      rsaPublicVerify(modulus.data(), 128, signature.data(), static_cast<uint8_t>(signature_length),
                      recovered.data(), &recovered_length, reader);
  const bool matches =
      recovered_length == message.size() && std::memcmp(recovered.data(), message.data(), message.size()) == 0;
  s.Step("verify it with the returned modulus", verified, matches,
         matches ? "recovered the signed bytes" : "recovered other bytes");
}

void CardHash(StepPrinter& s, tw_handle_t reader) {
  const std::vector<uint8_t> message = Pattern(300, 0x05);
  std::array<uint8_t, 20> digest{};
  const int32_t sw = SHA_Compress(reader, message.data(), static_cast<int32_t>(message.size()), digest.data());
  std::array<uint8_t, 20> expected{};
  SHA1(message.data(), message.size(), expected.data());
  const bool same = digest == expected;
  s.Step("hash 300 bytes with the card's SHA-1", sw, same,
         (same ? "matches the host's SHA-1 " : "differs from the host's SHA-1 ") + HexPrefix(digest.data(), 6) +
             "...");
}

}  // namespace

int RunDemo(StepPrinter& s) {
  const uint8_t bound = InitialLib(1);
  s.CodeStep("bind the serial reader driver", bound, bound == 1, "InitialLib(1) = 1");
  tw_handle_t reader = 0;
  const int32_t opened = OpenCom(1, &reader);
  s.CodeStep("open the reader on COM1", opened, opened == 0, "OpenCom = 0, handle " + std::to_string(reader));
  const int32_t reset = ResetICC(static_cast<int32_t>(reader), 0, 0);
  s.CodeStep("power the card up", reset, reset == 0, "ResetICC = 0");

  s.Step("verify passphrase 01", VerifyPassphrase(kPassphrase, sizeof kPassphrase, kPassphraseRef, reader));
  FilesAndRecords(s, reader);
  const int32_t auth = ExternAuth(reader, kKey01, 0x01);
  s.CodeStep("authenticate with key 01 (triple-DES)", auth, auth == 0, "ExternAuth = 0");
  KeyPairAndSignature(s, reader);
  CardHash(s, reader);

  const int32_t closed = CloseCom(&reader);
  s.CodeStep("close the reader", closed, closed == 0, "CloseCom = 0");
  const int32_t freed = FreeLib();
  s.CodeStep("unbind the driver", freed, freed != 0, "FreeLib = " + std::to_string(freed));
  return s.failures();
}

}  // namespace demo

namespace {

constexpr const char* kHelp =
    "usage: tarnwick-demo\n"
    "       tarnwick-demo --help | --version\n"
    "\n"
    "Plays an application's whole session against the card at COM1 of the serial\n"
    "reader driver (libskorra.so): bind, open, reset, passphrase 01, a file and a\n"
    "record, authentication, an RSA key pair in slot 01 and a signature, card SHA-1,\n"
    "close. It writes EF 0001 and EF 0002 and replaces the key in slot 01: with\n"
    "SKORRA_VCARD_DIR set, those changes stay in that folder's card1.img.\n"
    "Exit codes: 0 every step answered 9000; 1 a step failed; 2 a usage error.\n";

// -1 to play the demo, else the exit code of what the arguments asked.
int AnswerArguments(int argc, char** argv) {
  if (argc == 1) return -1;
  const std::string first = argv[1];
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && first == "--version") {
    std::printf("tarnwick-demo %s\n", TW_VERSION_STRING);
    return 0;
  }
  std::fprintf(stderr, "tarnwick-demo: %s: unknown argument; tarnwick-demo --help says what it does\n",
               first.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (int answered = AnswerArguments(argc, argv); answered >= 0) return answered;
  std::printf("Tarnwick demo: one application session with the card in the reader at COM1\n\n");
  demo::StepPrinter printer(stdout);
  const int failures = demo::RunDemo(printer);
  if (failures == 0) {
    std::printf("\nAll %d steps succeeded.\n", printer.steps());
    return 0;
  }
  std::printf("\n%d of %d steps failed.\n", failures, printer.steps());
  return 1;
}
