// Subcommands of the card's security state: passphrases, keys, challenges
// and external authentication.
#include <string>

#include "command.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kPassphraseSize = 8;

// A passphrase of exactly 8 bytes, typed as hex or (with --text) as text.
Bytes Passphrase8(ArgReader& a, std::string_view name, bool as_text) {
  Bytes bytes = a.TextOrData(name, as_text);
  if (bytes.size() != kPassphraseSize) {
    a.Fail(std::string(name) + ": expected exactly 8 bytes, got " + std::to_string(bytes.size()));
    bytes.resize(kPassphraseSize);
  }
  return bytes;
}

std::string_view ExternAuthMeaning(int32_t result) {
  switch (result) {
    case 0: return "accepted";
    case 1: return "GET CHALLENGE failed; nothing more was sent";
    case 2: return "the host triple-DES failed; EXTERNAL AUTHENTICATE was not sent";
    case 3: return "the card refused the cryptogram";
    default: return "unexpected result";
  }
}

Action ParseVerify(ArgReader& a) {
  uint8_t ref = a.HexByte("REF");
  Bytes pass = a.TextOrData("PASSPHRASE", a.Flag("--text"));
  if (pass.size() > 255) a.Fail("PASSPHRASE: at most 255 bytes, got " + std::to_string(pass.size()));
  return [=](Context& c) {
    c.report.Status("VerifyPassphrase",
                    VerifyPassphrase(pass.data(), static_cast<uint8_t>(pass.size()), ref, c.reader));
  };
}

Action ParseSetPassphrase(ArgReader& a) {
  bool text = a.Flag("--text");
  uint8_t ref = a.HexByte("REF");
  Bytes old_pass = Passphrase8(a, "OLD", text);
  Bytes new_pass = Passphrase8(a, "NEW", text);
  return [=](Context& c) {
    c.report.Status("SetPassphrase", SetPassphrase(c.reader, old_pass.data(), ref, new_pass.data()));
  };
}

Action ParseUnblock(ArgReader& a) {
  bool text = a.Flag("--text");
  uint8_t ref = a.HexByte("REF");
  Bytes code = Passphrase8(a, "CODE", text);
  Bytes new_pass = Passphrase8(a, "NEW", text);
  return [=](Context& c) {
    c.report.Status("KeyUnblock", KeyUnblock(ref, code.data(), new_pass.data(), c.reader));
  };
}

Action ParseAddKey(ArgReader& a) {
  uint8_t p2 = a.HexByte("P2");
  Bytes block = a.Data("BLOCK");
  if (block.size() > 255) a.Fail("BLOCK: at most 255 bytes, got " + std::to_string(block.size()));
  return [=](Context& c) {
    c.report.Status("AddKey", AddKey(p2, static_cast<uint8_t>(block.size()), block.data(), c.reader));
  };
}

Action ParseModifyKey(ArgReader& a) {
  uint8_t p1 = a.HexByte("P1");
  uint8_t p2 = a.HexByte("P2");
  Bytes block = a.Data("BLOCK");
  if (block.size() > 255) a.Fail("BLOCK: at most 255 bytes, got " + std::to_string(block.size()));
  return [=](Context& c) {
    c.report.Status("ModifyKey",
                    ModifyKey(p1, static_cast<uint8_t>(block.size()), p2, block.data(), c.reader));
  };
}

Action ParseChallenge(ArgReader& a) {
  uint32_t n = a.Number("LENGTH", 0, 4096);
  auto out = a.Value("--out");
  return [=](Context& c) {
    Bytes buf(n);
    int32_t sw = GetChallenge(buf.data(), n, c.reader);
    c.report.Status("GetChallenge", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("challenge", buf, out);
  };
}

Action ParseExternAuth(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes key = a.FixedData("KEY", 16);
  return [=](Context& c) {
    int32_t result = ExternAuth(c.reader, key.data(), keyid);
    c.report.Result("ExternAuth", result, ExternAuthMeaning(result), result == 0);
  };
}

Action ParseExtAuth(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes key = a.FixedData("KEY", 8);
  return [=](Context& c) { c.report.Status("ExtAuth", ExtAuth(keyid, key.data(), c.reader)); };
}

const Command kCommands[] = {
    {"verify", "present a passphrase (VerifyPassphrase)", "REF PASSPHRASE [--text]",
     "REF         which passphrase the card checks (P2), hex\n"
     "PASSPHRASE  hex bytes or @FILE; with --text the characters themselves",
     "tarnwick verify 01 12345678 --text", "--text", true, ParseVerify},
    {"set-passphrase", "change a passphrase (SetPassphrase)", "REF OLD NEW [--text]",
     "REF      which passphrase (P2), hex\n"
     "OLD NEW  the current and the new passphrase, exactly 8 bytes each (hex, or text with --text)",
     "tarnwick set-passphrase 01 12345678 abcdefgh --text", "--text", true, ParseSetPassphrase},
    {"unblock", "unblock a passphrase and set a new one (KeyUnblock)", "REF CODE NEW [--text]",
     "REF   which passphrase (P2), hex\n"
     "CODE  the unblocking code, exactly 8 bytes (hex, or text with --text)\n"
     "NEW   the new passphrase, exactly 8 bytes",
     "tarnwick unblock 01 87654321 12345678 --text", "--text", true, ParseUnblock},
    {"add-key", "install a key (AddKey)", "P2 BLOCK",
     "P2     sent as P2, hex\n"
     "BLOCK  the key block, hex bytes or @FILE (its layout is the card's)",
     "tarnwick add-key 03 \"03 01 01 00 11 22 33 44 55 66 77 88\"", "", true, ParseAddKey},
    {"modify-key", "rewrite a key (ModifyKey)", "P1 P2 BLOCK",
     "P1     sent as P1, hex (01 sends what add-key sends)\n"
     "P2     sent as P2, hex\n"
     "BLOCK  the key block, hex bytes or @FILE",
     "tarnwick modify-key 02 03 \"03 01 01 00 11 22 33 44 55 66 77 88\"", "", true, ParseModifyKey},
    {"challenge", "fetch random bytes from the card (GetChallenge)", "LENGTH [--out FILE]",
     "LENGTH  bytes wanted, 0 to 4096 (fetched 16 at a time)", "tarnwick challenge 8", "--out=", true,
     ParseChallenge},
    {"extern-auth", "authenticate with a two-key triple-DES key computed on the host (ExternAuth)",
     "KEYID KEY",
     "KEYID  the card key to check against (P2), hex\n"
     "KEY    the 16-byte key, K1 then K2",
     "tarnwick extern-auth 01 000102030405060708090A0B0C0D0E0F", "", true, ParseExternAuth},
    {"ext-auth", "authenticate with a DES key, the card computing the cryptogram (ExtAuth)", "KEYID KEY",
     "KEYID  the card key to check against (P2), hex\n"
     "KEY    the 8-byte DES key (it travels to the card in the clear)",
     "tarnwick ext-auth 02 0123456789ABCDEF", "", true, ParseExtAuth},
};

}  // namespace

std::span<const Command> SecurityCommands() { return kCommands; }

}  // namespace tarnwick::cli
