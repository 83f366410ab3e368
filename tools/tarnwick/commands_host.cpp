// Host-side subcommands that need no card: two-key triple-DES, the software
// digest, DER INTEGER decoding and the diagnostic log.
#include <string>

#include "command.h"
#include "der_integer.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kDesBlock = 8;

Action ParseTripleDes(ArgReader& a) {
  Bytes key = a.FixedData("KEY", 16);
  Bytes data = a.MainData("DATA");
  auto out = a.Output();
  if (data.size() > 0x7FFFFFF8) a.Fail("DATA: too long");
  return [=](Context& c) {
    // The library reads and writes the length rounded up to whole blocks.
    Bytes buf = data;
    buf.resize((data.size() + kDesBlock - 1) / kDesBlock * kDesBlock, 0x00);
    int32_t result = TriDesEncrypt(key.data(), buf.data(), buf.data(), static_cast<int32_t>(data.size()));
    if (result != 0) {
      c.report.Result("TriDesEncrypt", result, "the host triple-DES failed", false);
      return;
    }
    c.report.Result("TriDesEncrypt", 0, "success", true);
    c.report.Output("result", buf, out);
  };
}

Action ParseDigest(ArgReader& a) {
  Bytes msg = a.MainData("DATA");
  uint32_t type = a.NumberOption("--size", 0, 0xFFFFFFFF).value_or(16);
  if (type != 16 && type != 8 && type != 4) a.Fail("--size: expected 16, 8 or 4, got " + std::to_string(type));
  auto out = a.Output();
  return [=](Context& c) {
    uint8_t digest[16] = {};
    softDHADigest(msg.data(), static_cast<uint32_t>(msg.size()), digest, static_cast<int32_t>(type));
    c.report.Result("softDHADigest", 0, "done", true);
    c.report.Output("digest", Bytes(digest, digest + type), out);
  };
}

Action ParseDerDecode(ArgReader& a) {
  Bytes der = a.MainData("DER");
  std::size_t skip = a.NumberOption("--skip", 0, 0xFFFF).value_or(0);
  auto out = a.Output();
  if (skip > der.size()) a.Fail("--skip: the data has only " + std::to_string(der.size()) + " bytes");
  // Every INTEGER is checked to lie whole inside the data before any is decoded.
  for (std::size_t off = std::min(skip, der.size()); a.ok() && off < der.size();) {
    std::string why;
    std::size_t size = DerIntegerSize(std::span(der).subspan(off), &why);
    if (size == 0) a.Fail("DER: at offset " + std::to_string(off) + ": " + why);
    off += size;
  }
  return [=](Context& c) {
    Bytes work = der;  // the library may rewrite a length byte
    Bytes all;
    int index = 1;
    for (std::size_t off = skip; off < work.size(); ++index) {
      Bytes magnitude(work.size() - off);
      uint32_t len = 0;
      int32_t used = IntegerDERDecode(work.data() + off, magnitude.data(), &len);
      magnitude.resize(len);
      c.report.Result("IntegerDERDecode", used, "bytes of encoding", true);
      if (!out) c.report.Data("INTEGER " + std::to_string(index), magnitude);
      all.insert(all.end(), magnitude.begin(), magnitude.end());
      off += static_cast<std::size_t>(used);
    }
    if (out) c.report.Output("magnitudes", all, out);
  };
}

Action ParseLog(ArgReader& a) {
  std::string text = a.Word("TEXT", "the text of the line");
  int32_t value = static_cast<int32_t>(a.NumberOption("--value", 0, 0xFFFFFFFF).value_or(0));
  return [=](Context& c) {
    int32_t result = writeLog(text.c_str(), value);
    c.report.Result("writeLog", result, result == 0 ? "done (written only when the log file exists)"
                                                    : "closing the log file failed",
                    result == 0);
  };
}

const Command kCommands[] = {
    {"tdes", "two-key triple-DES encryption on the host, ECB (TriDesEncrypt)", "KEY DATA [--out FILE]",
     "KEY   the 16-byte key, K1 then K2\n"
     "DATA  hex bytes or @FILE (or --in FILE); a short last block is zero-filled",
     "tarnwick tdes 000102030405060708090A0B0C0D0E0F 0011223344556677", "--in= --out=", false, ParseTripleDes,
     HideArguments({1})},
    {"digest", "the library's software digest, 16, 8 or 4 bytes (softDHADigest)",
     "DATA [--size 16|8|4] [--out FILE]",
     "DATA    the message, hex bytes or @FILE (or --in FILE)\n"
     "--size  digest size in bytes (default 16)",
     "tarnwick digest 616263 --size 8", "--in= --out= --size=", false, ParseDigest, kEchoInClear},
    {"der-decode", "decode DER INTEGERs one after another into their magnitudes (IntegerDERDecode)",
     "DER [--skip N] [--out FILE]",
     "DER     the encodings, hex bytes or @FILE (or --in FILE)\n"
     "--skip  bytes to skip first, e.g. 3 or 4 for a SEQUENCE header\n"
     "--out   write the magnitudes one after another to FILE",
     "tarnwick der-decode \"02 03 01 00 01 02 02 00 80\"", "--in= --out= --skip=", false, ParseDerDecode, kEchoInClear},
    {"log", "append a line to the diagnostic log (writeLog)", "TEXT [--value N]",
     "TEXT     the line's text\n"
     "--value  the code printed after it (default 0)\n"
     "the line is written only when /tmp/iclog.txt already exists",
     "tarnwick log \"checked the reader\" --value 0x9000", "--value=", false, ParseLog, kEchoInClear},
};

}  // namespace

std::span<const Command> HostCommands() { return kCommands; }

}  // namespace tarnwick::cli
