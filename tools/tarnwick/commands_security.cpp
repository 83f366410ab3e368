// Subcommands of the card's security state: passphrases, keys, challenges
// and external authentication.
#include <string>

#include "command.h"
#include "file_io.h"
#include "protocol/status_words.h"
#include "typed_input.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kPassphraseSize = 8;
// VERIFY's data travels in one command: 5 header bytes and the passphrase.
constexpr std::size_t kLongestVerified = 250;
constexpr std::size_t kLongestBlock = 250;

std::string RefText(uint8_t ref) { return ToHex(std::span(&ref, 1)); }

// Drops one line ending that an editor or `echo` left at the end of a file.
Bytes WithoutLineEnding(Bytes bytes) {
  if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  return bytes;
}

// The bytes a typed or given secret stands for: its characters, or with
// --hex the bytes its hex digits write.
Bytes SecretBytes(ArgReader& a, std::string_view name, const std::string& text, bool hex) {
  if (!hex) return Bytes(text.begin(), text.end());
  std::string why;
  auto bytes = ParseHex(text, &why);
  if (!bytes) a.Fail(std::string(name) + ": expected hex bytes with --hex: " + why);
  return bytes.value_or(Bytes{});
}

// A passphrase or unblocking code: text, hex bytes with --hex, the raw bytes
// of @FILE (@- standard input), or asked for on the terminal when left out.
Bytes Secret(ArgReader& a, std::string_view name, const std::string& prompt, bool hex) {
  std::string why;
  if (!a.HasPositional()) {
    auto typed = AskSecret(prompt, &why);
    if (!typed) a.Fail(std::string(name) + ": " + why);
    return typed ? SecretBytes(a, name, *typed, hex) : Bytes{};
  }
  std::string text = a.Word(name, "");
  if (text.empty() || text[0] != '@') return SecretBytes(a, name, text, hex);
  auto bytes = ReadInput(text.substr(1), &why);
  if (!bytes) a.Fail(std::string(name) + ": " + why);
  return WithoutLineEnding(bytes.value_or(Bytes{}));
}

// A new passphrase typed on the terminal is asked for twice: a typing
// mistake nobody saw would lock its owner out.
Bytes NewSecret(ArgReader& a, std::string_view name, const std::string& prompt, bool hex) {
  bool asked = !a.HasPositional();
  Bytes value = Secret(a, name, prompt, hex);
  if (asked && a.ok() && Secret(a, name, "Again: ", hex) != value) a.Fail(std::string(name) + ": the two differ");
  return value;
}

void CheckSize8(ArgReader& a, std::string_view name, Bytes& bytes) {
  if (bytes.size() != kPassphraseSize) {
    a.Fail(std::string(name) + ": expected exactly 8 bytes, got " + std::to_string(bytes.size()));
    bytes.resize(kPassphraseSize);
  }
}

bool HexSecrets(ArgReader& a) {
  bool hex = a.Flag("--hex");
  // --text names the default, kept for the scripts written with it.
  if (hex && a.Flag("--text")) a.Fail("--hex and --text: give one of them, not both");
  return hex;
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

// An empty VERIFY verifies nothing: the card answers with the state of the
// passphrase, so 63Cx is the answer to the question, not a failure.
void ReportTriesLeft(Context& c, int32_t sw) {
  if ((sw & tarnwick::sw::kTriesLeftMask) != tarnwick::sw::kTriesLeft) {
    c.report.Status("VerifyPassphrase", sw);
    return;
  }
  int tries = sw & ~tarnwick::sw::kTriesLeftMask;
  c.report.Answer("VerifyPassphrase", sw,
                  "not verified, " + std::to_string(tries) + (tries == 1 ? " try left" : " tries left"), true);
}

Action ParseVerify(ArgReader& a) {
  bool hex = HexSecrets(a);
  uint8_t ref = a.HexByte("REF");
  Bytes pass = a.ok() ? Secret(a, "PASSPHRASE", "Passphrase " + RefText(ref) + ": ", hex) : Bytes{};
  a.Limit("PASSPHRASE", pass.size(), kLongestVerified);
  return [=](Context& c) {
    int32_t sw = VerifyPassphrase(pass.data(), static_cast<uint8_t>(pass.size()), ref, c.reader);
    if (pass.empty()) ReportTriesLeft(c, sw);
    else c.report.Status("VerifyPassphrase", sw);
  };
}

Action ParseSetPassphrase(ArgReader& a) {
  bool hex = HexSecrets(a);
  uint8_t ref = a.HexByte("REF");
  if (!a.ok()) return {};
  Bytes old_pass = Secret(a, "OLD", "Current passphrase " + RefText(ref) + ": ", hex);
  if (a.ok()) CheckSize8(a, "OLD", old_pass);
  Bytes new_pass = a.ok() ? NewSecret(a, "NEW", "New passphrase " + RefText(ref) + ": ", hex) : Bytes{};
  CheckSize8(a, "NEW", new_pass);
  return [=](Context& c) {
    c.report.Status("SetPassphrase", SetPassphrase(c.reader, old_pass.data(), ref, new_pass.data()));
  };
}

Action ParseUnblock(ArgReader& a) {
  bool hex = HexSecrets(a);
  uint8_t ref = a.HexByte("REF");
  if (!a.ok()) return {};
  Bytes code = Secret(a, "CODE", "Unblocking code of passphrase " + RefText(ref) + ": ", hex);
  if (a.ok()) CheckSize8(a, "CODE", code);
  Bytes new_pass = a.ok() ? NewSecret(a, "NEW", "New passphrase " + RefText(ref) + ": ", hex) : Bytes{};
  CheckSize8(a, "NEW", new_pass);
  return [=](Context& c) {
    c.report.Status("KeyUnblock", KeyUnblock(ref, code.data(), new_pass.data(), c.reader));
  };
}

Action ParseAddKey(ArgReader& a) {
  uint8_t p2 = a.HexByte("P2");
  Bytes block = a.Data("BLOCK");
  a.Limit("BLOCK", block.size(), kLongestBlock);
  return [=](Context& c) {
    c.report.Status("AddKey", AddKey(p2, static_cast<uint8_t>(block.size()), block.data(), c.reader));
  };
}

Action ParseModifyKey(ArgReader& a) {
  uint8_t p1 = a.HexByte("P1");
  uint8_t p2 = a.HexByte("P2");
  Bytes block = a.Data("BLOCK");
  a.Limit("BLOCK", block.size(), kLongestBlock);
  return [=](Context& c) {
    c.report.Status("ModifyKey",
                    ModifyKey(p1, static_cast<uint8_t>(block.size()), p2, block.data(), c.reader));
  };
}

Action ParseChallenge(ArgReader& a) {
  uint32_t n = a.Number("LENGTH", 0, 4096);
  auto out = a.Output();
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
    {"verify", "present a passphrase (VerifyPassphrase), or ask how many tries are left",
     "REF [PASSPHRASE] [--hex]",
     "REF         which passphrase the card checks (P2), hex\n"
     "PASSPHRASE  its characters (--hex: hex bytes), or @FILE; asked for on the\n"
     "            terminal when left out; \"\" verifies nothing and shows the tries left",
     "tarnwick verify 01 12345678", "--hex --text", true, ParseVerify, HideArguments({2})},
    {"set-passphrase", "change a passphrase (SetPassphrase)", "REF [OLD [NEW]] [--hex]",
     "REF      which passphrase (P2), hex\n"
     "OLD NEW  the current and the new passphrase, exactly 8 bytes each: text (--hex:\n"
     "         hex bytes) or @FILE; asked for on the terminal when left out",
     "tarnwick set-passphrase 01 12345678 abcdefgh", "--hex --text", true, ParseSetPassphrase, HideArguments({2, 3})},
    {"unblock", "unblock a passphrase and set a new one (KeyUnblock)", "REF [CODE [NEW]] [--hex]",
     "REF   which passphrase (P2), hex\n"
     "CODE  the unblocking code, exactly 8 bytes: text (--hex: hex bytes) or @FILE\n"
     "NEW   the new passphrase, exactly 8 bytes, the same way\n"
     "      either is asked for on the terminal when left out",
     "tarnwick unblock 01 87654321 12345678", "--hex --text", true, ParseUnblock, HideArguments({2, 3})},
    {"add-key", "install a key (AddKey)", "P2 BLOCK",
     "P2     sent as P2, hex\n"
     "BLOCK  the key block, hex bytes or @FILE (its layout is the card's)",
     "verify 01 12345678\n"
     "add-key 03 \"03 02 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\"",
     "", true, ParseAddKey, HideArguments({2})},
    {"modify-key", "rewrite a key (ModifyKey)", "P1 P2 BLOCK",
     "P1     sent as P1, hex (01 sends what add-key sends)\n"
     "P2     sent as P2, hex\n"
     "BLOCK  the key block, hex bytes or @FILE",
     "verify 01 12345678\n"
     "modify-key 02 02 \"01 01 01 23 45 67 89 AB CD EF\"",
     "", true, ParseModifyKey, HideArguments({3})},
    {"challenge", "fetch random bytes from the card (GetChallenge)", "LENGTH [--out FILE]",
     "LENGTH  bytes wanted, 0 to 4096 (fetched 16 at a time)", "tarnwick challenge 8", "--out=", true,
     ParseChallenge, kEchoInClear},
    {"extern-auth", "authenticate with a two-key triple-DES key computed on the host (ExternAuth)",
     "KEYID KEY",
     "KEYID  the card key to check against (P2), hex\n"
     "KEY    the 16-byte key, K1 then K2",
     "tarnwick extern-auth 01 000102030405060708090A0B0C0D0E0F", "", true, ParseExternAuth, HideArguments({2})},
    {"ext-auth", "authenticate with a DES key, the card computing the cryptogram (ExtAuth)", "KEYID KEY",
     "KEYID  the card key to check against (P2), hex\n"
     "KEY    the 8-byte DES key (it travels to the card in the clear)",
     "tarnwick ext-auth 02 0123456789ABCDEF", "", true, ParseExtAuth, HideArguments({2})},
};

}  // namespace

std::span<const Command> SecurityCommands() { return kCommands; }

}  // namespace tarnwick::cli
