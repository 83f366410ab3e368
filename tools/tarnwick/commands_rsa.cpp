// Subcommands of the card's RSA services: sign, verify, encrypt, decrypt,
// public-key records, key-pair generation, and DER INTEGER decoding.
#include <array>
#include <optional>
#include <string>

#include "command.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kModulusSize = 128;
// One command carries 5 header bytes and at most 250 more; a modulus travels
// in a public-key record that, with its Le byte, takes 8 bytes more.
constexpr std::size_t kLongestOperationData = 250;
constexpr std::size_t kLongestLoadedModulus = 242;
// The key-pair answers that OfflineRsaGenerateKeyPair collects fit here.
constexpr std::size_t kOfflineRoom = 1000;
// What the card hands out for a 1024-bit key kept in no key slot: the CRT
// values of the private key, 64 bytes each.
constexpr std::array<std::string_view, 5> kPrivateValues = {"p", "q", "dP", "dQ", "qInv"};
constexpr std::size_t kPrivateValueSize = 64;

using KeyIdOp = int32_t (*)(uint8_t, const uint8_t*, uint8_t, uint8_t*, uint32_t*, tw_handle_t);

Bytes OperationData(ArgReader& a) {
  Bytes data = a.MainData("DATA");
  a.Limit("DATA", data.size(), kLongestOperationData);
  return data;
}

// The four operations that name a card key or key file share one shape.
Action KeyIdAction(std::string_view call, KeyIdOp op, uint8_t keyid, Bytes data,
                   std::optional<std::string> out) {
  return [=](Context& c) {
    uint8_t result[256];
    uint32_t result_len = 0;
    int32_t sw = op(keyid, data.data(), static_cast<uint8_t>(data.size()), result, &result_len, c.reader);
    c.report.Status(call, sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
  };
}

Action ParseSign(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes data = OperationData(a);
  return KeyIdAction("rsaPrivateSign", rsaPrivateSign, keyid, data, a.Output());
}

Action ParseDecrypt(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes data = OperationData(a);
  return KeyIdAction("rsaPrivateDecrypt", rsaPrivateDecrypt, keyid, data, a.Output());
}

// The public-key operations take their key either from a card file
// (--pk-file) or from a modulus the caller passes (--modulus).
struct PublicKeySource {
  std::optional<uint8_t> pk_file;
  Bytes modulus;
};

PublicKeySource ReadPublicKeySource(ArgReader& a) {
  PublicKeySource source{a.FileIdOption("--pk-file"), {}};
  auto modulus = a.DataOption("--modulus");
  if (source.pk_file && modulus) a.Fail("--pk-file and --modulus: give one of them, not both");
  if (!source.pk_file && !modulus)
    a.Fail("--pk-file or --modulus: missing; expected a key file identifier or the modulus in hex");
  if (modulus) source.modulus = *modulus;
  return source;
}

Action ParseVerify(ArgReader& a) {
  PublicKeySource key = ReadPublicKeySource(a);
  Bytes data = OperationData(a);
  auto out = a.Output();
  a.Limit("--modulus", key.modulus.size(), kLongestLoadedModulus);
  if (key.pk_file) return KeyIdAction("rsaPublicVerifyUsePKFile", rsaPublicVerifyUsePKFile, *key.pk_file, data, out);
  return [=](Context& c) {
    uint8_t result[256];
    uint32_t result_len = 0;
    int32_t sw = rsaPublicVerify(key.modulus.data(), static_cast<uint8_t>(key.modulus.size()), data.data(),
                                 static_cast<uint8_t>(data.size()), result, &result_len, c.reader);
    c.report.Status("rsaPublicVerify", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
  };
}

Action ParseEncrypt(ArgReader& a) {
  PublicKeySource key = ReadPublicKeySource(a);
  Bytes data = OperationData(a);
  auto out = a.Output();
  if (!key.pk_file && key.modulus.size() != kModulusSize)
    a.Fail("--modulus: expected 128 bytes, got " + std::to_string(key.modulus.size()));
  if (key.pk_file) return KeyIdAction("rsaPublicEncryptUsePKFile", rsaPublicEncryptUsePKFile, *key.pk_file, data, out);
  return [=](Context& c) {
    uint8_t result[256];
    uint32_t result_len = 0;
    int32_t sw = rsaPublicEncrypt(key.modulus.data(), data.data(), static_cast<uint8_t>(data.size()), result,
                                  &result_len, c.reader);
    c.report.Status("rsaPublicEncrypt", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
  };
}

Action ParseWritePublicKey(ArgReader& a) {
  uint8_t fid = a.FileId("FID");
  Bytes modulus = a.FixedData("MODULUS", kModulusSize);
  uint8_t exp_len = static_cast<uint8_t>(a.NumberOption("--exp-len", 0, 255).value_or(3));
  return [=](Context& c) { c.report.Status("WritePublicKey", WritePublicKey(fid, modulus.data(), exp_len, c.reader)); };
}

Action GenerateInSlot(uint8_t keyid, std::optional<std::string> out) {
  return [=](Context& c) {
    uint8_t modulus[kModulusSize];
    uint32_t mod_len = 0;
    int32_t sw = RsaGenerateKeyPair(0, keyid, modulus, &mod_len, c.reader);
    c.report.Status("RsaGenerateKeyPair", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("modulus", Bytes(modulus, modulus + std::min<uint32_t>(mod_len, kModulusSize)), out);
  };
}

Action GenerateOffline(std::optional<std::string> out) {
  return [=](Context& c) {
    Bytes collected(kOfflineRoom);
    uint32_t n = 0;
    int32_t sw = OfflineRsaGenerateKeyPair(0, collected.data(), &n, c.reader);
    c.report.Status("OfflineRsaGenerateKeyPair", sw);
    collected.resize(std::min<std::size_t>(n, kOfflineRoom));
    if (sw != TW_SW_SUCCESS) return;
    if (out || collected.size() != kPrivateValues.size() * kPrivateValueSize) {
      c.report.Output("private key values", collected, out);
      return;
    }
    for (std::size_t i = 0; i < kPrivateValues.size(); ++i)
      c.report.Data(kPrivateValues[i], std::span(collected).subspan(i * kPrivateValueSize, kPrivateValueSize));
  };
}

// The record's file is selected first: a file that is not there must not
// cost the key in the key slot, which generation replaces before the record
// is written.
Action GenerateToFile(uint8_t keyid, uint8_t fid) {
  return [=](Context& c) {
    int32_t sw = SelectFile(0x00, 0, fid, c.reader);
    c.report.Status("SelectFile", sw);
    if (sw == TW_SW_SUCCESS) c.report.Status("MyRsaGeneratekey", MyRsaGeneratekey(0, fid, keyid, c.reader));
  };
}

Action ParseGenKeypair(ArgReader& a) {
  auto out = a.Output();
  if (a.Flag("--offline")) {
    if (a.Value("--to-file")) a.Fail("--offline and --to-file: give one of them, not both");
    return GenerateOffline(out);
  }
  uint8_t keyid = a.HexByte("KEYID");
  auto fid = a.FileIdOption("--to-file");
  if (fid && out) a.Fail("--to-file and --out: the record goes to the card file, give one of them");
  if (fid) return GenerateToFile(keyid, *fid);
  return GenerateInSlot(keyid, out);
}

const Command kCommands[] = {
    {"rsa-sign", "sign with the card's private key in a slot (rsaPrivateSign)",
     "KEYID DATA [--out FILE] | KEYID --in FILE",
     "KEYID  the private key slot (P2), hex\n"
     "DATA   data to sign, hex bytes or @FILE (the card pads it)",
     "verify 01 12345678\n"
     "gen-keypair 01\n"
     "rsa-sign 01 \"DA 39 A3 EE 5E 6B 4B 0D 32 55 BF EF 95 60 18 90 AF D8 07 09\"", "--in= --out=",
     true, ParseSign, kEchoInClear},
    {"rsa-decrypt", "decrypt with the card's private key in a slot (rsaPrivateDecrypt)",
     "KEYID DATA [--out FILE] | KEYID --in FILE",
     "KEYID  the private key slot (P2), hex\n"
     "DATA   the 128-byte cryptogram, hex bytes or @FILE",
     "verify 01 12345678\n"
     "gen-keypair 01 --to-file 0010\n"
     "rsa-encrypt --pk-file 0010 \"01 02 03 04\" --out cryptogram.bin\n"
     "rsa-decrypt 01 @cryptogram.bin", "--in= --out=", true, ParseDecrypt, kEchoInClear},
    {"rsa-verify", "recover signed data with a public key (rsaPublicVerify, rsaPublicVerifyUsePKFile)",
     "(--pk-file FID | --modulus HEX) DATA [--out FILE]",
     "--pk-file  the public-key record in card file 00xx\n"
     "--modulus  the modulus, hex or @FILE (public exponent 65537)\n"
     "DATA       the signature, hex bytes or @FILE (or --in FILE)",
     "verify 01 12345678\n"
     "gen-keypair 01 --to-file 0010\n"
     "rsa-sign 01 \"01 02 03 04\" --out signature.bin\n"
     "rsa-verify --pk-file 0010 @signature.bin", "--pk-file= --modulus= --in= --out=", true,
     ParseVerify, kEchoInClear},
    {"rsa-encrypt", "encrypt with a public key (rsaPublicEncrypt, rsaPublicEncryptUsePKFile)",
     "(--pk-file FID | --modulus HEX) DATA [--out FILE]",
     "--pk-file  the public-key record in card file 00xx\n"
     "--modulus  the 128-byte modulus, hex or @FILE (public exponent 65537)\n"
     "DATA       data to encrypt, hex bytes or @FILE (or --in FILE)",
     "verify 01 12345678\n"
     "gen-keypair 01 --out modulus.bin\n"
     "rsa-encrypt --modulus @modulus.bin \"01 02 03 04\"", "--pk-file= --modulus= --in= --out=", true,
     ParseEncrypt, kEchoInClear},
    {"write-public-key", "store a public-key record in a transparent file (WritePublicKey)",
     "FID MODULUS [--exp-len E]",
     "FID        the transparent file 00xx that receives the record\n"
     "MODULUS    the 128-byte modulus, hex or @FILE\n"
     "--exp-len  how many bytes of the exponent 01 00 01 to store, 0 to 3 (default 3)",
     "verify 01 12345678\n"
     "gen-keypair 01 --out modulus.bin\n"
     "write-public-key 0010 @modulus.bin", "--exp-len=", true, ParseWritePublicKey, kEchoInClear},
    {"gen-keypair", "have the card generate an RSA-1024 key pair",
     "KEYID [--out FILE] | KEYID --to-file FID | --offline [--out FILE]",
     "KEYID      the key slot (P2), hex; prints the modulus (RsaGenerateKeyPair)\n"
     "--to-file  store the public-key record in card file 00xx instead (MyRsaGeneratekey)\n"
     "--offline  keep the key in no slot and print the private values the card hands out\n"
     "           (OfflineRsaGenerateKeyPair); the card takes a while to generate",
     "verify 01 12345678\n"
     "gen-keypair 01 --out modulus.bin", "--out= --to-file= --offline", true, ParseGenKeypair, kEchoInClear},
};

}  // namespace

std::span<const Command> RsaCommands() { return kCommands; }

}  // namespace tarnwick::cli
