// Subcommands of the card's ciphers and hash: card DES, triple-DES by the
// card, the card's CDEA cipher, and card SHA-1.
#include <string>

#include "command.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kCipherBlock = 16;
// One command carries 5 header bytes and at most 250 data bytes.
constexpr std::size_t kLongestCommandData = 250;
// The card hashes messages of up to 32767 bytes.
constexpr std::size_t kLongestHashed = 32767;

using DesOp = int32_t (*)(const uint8_t*, const uint8_t*, uint8_t*, tw_handle_t);
using CdeaOp = int32_t (*)(tw_handle_t, const uint8_t*, const uint8_t*, int32_t, uint8_t*, int32_t*);

// The card cipher works on whole 16-byte blocks; the copy is padded with
// zeros so that the last block is never read past the caller's data.
Bytes PaddedToBlocks(Bytes data) {
  data.resize((data.size() + kCipherBlock - 1) / kCipherBlock * kCipherBlock, 0x00);
  return data;
}

// Runs a block call (data padded to whole blocks, the data's length, the
// result's room, the count of bytes done) and reports its status word and
// the blocks it did.
template <typename BlockCall>
void RunBlocks(Context& c, std::string_view call, const Bytes& data, const std::optional<std::string>& out_path,
               BlockCall run) {
  Bytes in = PaddedToBlocks(data);
  Bytes out(in.size());
  int32_t count = 0;
  const int32_t sw = run(in.data(), static_cast<int32_t>(data.size()), out.data(), &count);
  c.report.Status(call, sw);
  std::size_t valid = count < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), out.size());
  if (sw == TW_SW_SUCCESS) c.report.Output("result", Bytes(out.begin(), out.begin() + valid), out_path);
  else if (valid > 0) c.report.Data("blocks done before the failure", Bytes(out.begin(), out.begin() + valid));
}

Action DesAction(std::string_view call, DesOp op, ArgReader& a) {
  Bytes key = a.FixedData("KEY", 8);
  Bytes block = a.FixedData("BLOCK", 8);
  return [=](Context& c) {
    uint8_t out[8] = {};
    int32_t sw = op(key.data(), block.data(), out, c.reader);
    c.report.Status(call, sw);
    if (sw == TW_SW_SUCCESS) c.report.Data("result", out);
  };
}

Action ParseDesEncrypt(ArgReader& a) { return DesAction("DesEncrypt", DesEncrypt, a); }
Action ParseDesDecrypt(ArgReader& a) { return DesAction("DesDecrypt", DesDecrypt, a); }

Action ParseCardTripleDes(ArgReader& a) {
  Bytes key = a.FixedData("KEY", 16);
  Bytes block = a.FixedData("BLOCK", 8);
  return [=](Context& c) {
    uint8_t out[8] = {};
    int32_t result = IC_TriDesEncrypt(key.data(), block.data(), out, c.reader);
    if (result != 0) {
      c.report.Status("IC_TriDesEncrypt", result);
      return;
    }
    c.report.Result("IC_TriDesEncrypt", 0, "success (all three card DES commands answered 9000)", true);
    c.report.Data("result", out);
  };
}

Action CdeaAction(std::string_view call, CdeaOp op, ArgReader& a) {
  Bytes key = a.FixedData("KEY", 16);
  Bytes data = a.MainData("DATA");
  auto out = a.Output();
  return [=](Context& c) {
    RunBlocks(c, call, data, out, [&](const uint8_t* in, int32_t length, uint8_t* result, int32_t* count) {
      return op(c.reader, key.data(), in, length, result, count);
    });
  };
}

Action ParseCdeaEncrypt(ArgReader& a) { return CdeaAction("Cdea_Encrypt", Cdea_Encrypt, a); }
Action ParseCdeaDecrypt(ArgReader& a) { return CdeaAction("Cdea_Decrypt", Cdea_Decrypt, a); }

Action ParseCdeaLoadKey(ArgReader& a) {
  Bytes key = a.FixedData("KEY", 16);
  return [=](Context& c) { c.report.Status("Cdea_Genkey", Cdea_Genkey(c.reader, key.data())); };
}

Action ParseCdeaGenMk(ArgReader& a) {
  int32_t mode = static_cast<int32_t>(a.Number("MODE", 0, 1));
  Bytes data = a.Data("DATA");
  a.Limit("DATA", data.size(), kLongestCommandData);
  int32_t p2 = a.HexByteOption("--p2").value_or(0);
  return [=](Context& c) {
    uint8_t rsp[256] = {};
    uint8_t rsp_len = 0;
    int32_t sw = Cdea_GenMK(c.reader, mode, data.data(), static_cast<int32_t>(data.size()), rsp, &rsp_len, p2);
    c.report.Status("Cdea_GenMK", sw);
    if (sw == TW_SW_SUCCESS && rsp_len > 0) c.report.Data("answer", Bytes(rsp, rsp + rsp_len));
  };
}

Action ParseCdeaCommand(ArgReader& a) {
  Bytes data = a.MainData("DATA");
  auto out = a.Output();
  return [=](Context& c) {
    RunBlocks(c, "Cdea_Command", data, out, [&](const uint8_t* in, int32_t length, uint8_t* result, int32_t* count) {
      return Cdea_Command(c.reader, in, length, result, count);
    });
  };
}

Action ParseCdeaInMk(ArgReader& a) {
  int32_t mode = static_cast<int32_t>(a.Number("MODE", 0, 1));
  Bytes key_data = a.Data("KEYDATA");
  a.Limit("KEYDATA", key_data.size(), kLongestCommandData);
  Bytes data = a.MainData("DATA");
  int32_t p2 = a.HexByteOption("--p2").value_or(0);
  auto out = a.Output();
  return [=](Context& c) {
    RunBlocks(c, "Cdea_InMK", data, out, [&](const uint8_t* in, int32_t length, uint8_t* result, int32_t* count) {
      uint8_t rsp[256] = {};
      uint8_t rsp_len = 0;
      const int32_t sw = Cdea_InMK(c.reader, key_data.data(), static_cast<int32_t>(key_data.size()), mode, in,
                                   length, rsp, &rsp_len, result, count, p2);
      if (rsp_len > 0) c.report.Data("key command answer", Bytes(rsp, rsp + rsp_len));
      return sw;
    });
  };
}

Action ParseCdeaOutMk(ArgReader& a) {
  int32_t mode = static_cast<int32_t>(a.Number("MODE", 0, 1));
  Bytes key_data = a.FixedData("KEYDATA", 16);
  Bytes data = a.MainData("DATA");
  auto out = a.Output();
  return [=](Context& c) {
    RunBlocks(c, "Cdea_OutMK", data, out, [&](const uint8_t* in, int32_t length, uint8_t* result, int32_t* count) {
      return Cdea_OutMK(c.reader, key_data.data(), mode, in, length, result, count);
    });
  };
}

Action ParseSha1(ArgReader& a) {
  Bytes msg = a.MainData("DATA");
  a.Limit("DATA", msg.size(), kLongestHashed);
  auto out = a.Output();
  return [=](Context& c) {
    uint8_t digest[20] = {};
    int32_t sw = SHA_Compress(c.reader, msg.data(), static_cast<int32_t>(msg.size()), digest);
    c.report.Status("SHA_Compress", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("SHA-1", Bytes(digest, digest + sizeof digest), out);
  };
}

const Command kCommands[] = {
    {"des-encrypt", "encrypt one 8-byte block with DES on the card (DesEncrypt)", "KEY BLOCK",
     "KEY    the 8-byte DES key (it travels to the card in the clear)\n"
     "BLOCK  the 8-byte block",
     "tarnwick des-encrypt 0123456789ABCDEF 4E6F772069732074", "", true, ParseDesEncrypt, HideArguments({1})},
    {"des-decrypt", "decrypt one 8-byte block with DES on the card (DesDecrypt)", "KEY BLOCK",
     "KEY    the 8-byte DES key\n"
     "BLOCK  the 8-byte block",
     "tarnwick des-decrypt 0123456789ABCDEF 3FA40E8A984D4815", "", true, ParseDesDecrypt, HideArguments({1})},
    {"ic-tdes", "encrypt one block with two-key triple-DES, computed by the card (IC_TriDesEncrypt)",
     "KEY BLOCK",
     "KEY    the 16-byte key, K1 then K2\n"
     "BLOCK  the 8-byte block",
     "tarnwick ic-tdes 000102030405060708090A0B0C0D0E0F 0011223344556677", "", true, ParseCardTripleDes,
     HideArguments({1})},
    {"cdea-load-key", "load a 16-byte key into the card's block cipher (Cdea_Genkey)", "KEY",
     "KEY  the 16-byte key", "tarnwick cdea-load-key 000102030405060708090A0B0C0D0E0F", "", true,
     ParseCdeaLoadKey, HideArguments({1})},
    {"cdea-encrypt", "encrypt with the card's 16-byte block cipher (Cdea_Encrypt)",
     "KEY DATA [--out FILE] | KEY --in FILE",
     "KEY   the 16-byte key, loaded first\n"
     "DATA  hex bytes or @FILE; a short last block is zero-filled",
     "tarnwick cdea-encrypt 000102030405060708090A0B0C0D0E0F \"48 65 6C 6C 6F\"", "--in= --out=", true,
     ParseCdeaEncrypt, HideArguments({1})},
    {"cdea-decrypt", "decrypt with the card's 16-byte block cipher (Cdea_Decrypt)",
     "KEY DATA [--out FILE] | KEY --in FILE",
     "KEY   the 16-byte key, loaded first\n"
     "DATA  whole 16-byte blocks, hex bytes or @FILE",
     "cdea-encrypt 000102030405060708090A0B0C0D0E0F \"48 65 6C 6C 6F\" --out cipher.bin\n"
     "cdea-decrypt 000102030405060708090A0B0C0D0E0F @cipher.bin", "--in= --out=", true,
     ParseCdeaDecrypt, HideArguments({1})},
    {"cdea-genmk", "send the cipher's key command (Cdea_GenMK)", "MODE DATA [--p2 P2]",
     "MODE  0 (80 CE 20 00) or 1 (80 CE 60 P2)\n"
     "DATA  command data, hex bytes or @FILE\n"
     "--p2  P2 in mode 1, hex (default 00)",
     "cdea-load-key 000102030405060708090A0B0C0D0E0F\n"
     "cdea-genmk 0 00112233445566778899AABBCCDDEEFF", "--p2=", true, ParseCdeaGenMk, kEchoInClear},
    {"cdea-command", "run the cipher command under the card's current key state (Cdea_Command)",
     "DATA [--out FILE] | --in FILE",
     "DATA  hex bytes or @FILE, processed in 16-byte blocks (a short last block is zero-filled);\n"
     "      in a script after cdea-genmk or cdea-load-key, since each invocation resets the card",
     "cdea-load-key 000102030405060708090A0B0C0D0E0F\n"
     "cdea-genmk 0 00112233445566778899AABBCCDDEEFF\n"
     "cdea-command 48656C6C6F", "--in= --out=", true, ParseCdeaCommand, kEchoInClear},
    {"cdea-inmk", "key command, then the cipher command over the data (Cdea_InMK)",
     "MODE KEYDATA DATA [--p2 P2] [--out FILE]",
     "MODE     0 or 1, as for cdea-genmk\n"
     "KEYDATA  the key command's data, hex bytes\n"
     "DATA     hex bytes or @FILE (or --in FILE), processed in 16-byte blocks\n"
     "--p2     P2 of the key command in mode 1, hex (default 00)",
     "verify 01 12345678\n"
     "add-key 03 \"03 02 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\"\n"
     "cdea-inmk 1 000102030405060708090A0B0C0D0E0F 00112233445566778899AABBCCDDEEFF --p2 03",
     "--p2= --in= --out=", true, ParseCdeaInMk, kEchoInClear},
    {"cdea-outmk", "key command with 16 bytes, then the cipher command (Cdea_OutMK)",
     "MODE KEYDATA DATA [--out FILE]",
     "MODE     0 or 1, as for cdea-genmk (P2 is 00)\n"
     "KEYDATA  exactly 16 bytes of key command data\n"
     "DATA     hex bytes or @FILE (or --in FILE), processed in 16-byte blocks",
     "cdea-load-key 000102030405060708090A0B0C0D0E0F\n"
     "cdea-outmk 0 000102030405060708090A0B0C0D0E0F 00112233445566778899AABBCCDDEEFF",
     "--in= --out=", true, ParseCdeaOutMk, kEchoInClear},
    {"sha1", "have the card compute SHA-1 of a message (SHA_Compress)", "DATA [--out FILE] | --in FILE",
     "DATA  the message, 0 to 32767 bytes, hex or @FILE", "tarnwick sha1 616263", "--in= --out=", true,
     ParseSha1, kEchoInClear},
};

}  // namespace

std::span<const Command> CipherCommands() { return kCommands; }

}  // namespace tarnwick::cli
