// Subcommands of the card's RSA services: sign, verify, encrypt, decrypt,
// public-key records, key-pair generation, and DER INTEGER decoding.
#include <optional>
#include <string>

#include "command.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kModulusSize = 128;
// The key-pair answers that OfflineRsaGenerateKeyPair collects fit here.
constexpr std::size_t kOfflineRoom = 1000;

using KeyIdOp = int32_t (*)(uint8_t, const uint8_t*, uint8_t, uint8_t*, uint32_t*, tw_handle_t);

Bytes OperationData(ArgReader& a) {
  Bytes data = a.MainData("DATA");
  if (data.size() > 255) a.Fail("DATA: at most 255 bytes, got " + std::to_string(data.size()));
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
    if (sw == 0x9000) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
  };
}

Action ParseSign(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes data = OperationData(a);
  return KeyIdAction("rsaPrivateSign", rsaPrivateSign, keyid, data, a.Value("--out"));
}

Action ParseDecrypt(ArgReader& a) {
  uint8_t keyid = a.HexByte("KEYID");
  Bytes data = OperationData(a);
  return KeyIdAction("rsaPrivateDecrypt", rsaPrivateDecrypt, keyid, data, a.Value("--out"));
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
  auto out = a.Value("--out");
  if (key.modulus.size() > 255)
    a.Fail("--modulus: at most 255 bytes, got " + std::to_string(key.modulus.size()));
  if (key.pk_file) return KeyIdAction("rsaPublicVerifyUsePKFile", rsaPublicVerifyUsePKFile, *key.pk_file, data, out);
  return [=](Context& c) {
    uint8_t result[256];
    uint32_t result_len = 0;
    int32_t sw = rsaPublicVerify(key.modulus.data(), static_cast<uint8_t>(key.modulus.size()), data.data(),
                                 static_cast<uint8_t>(data.size()), result, &result_len, c.reader);
    c.report.Status("rsaPublicVerify", sw);
    if (sw == 0x9000) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
  };
}

Action ParseEncrypt(ArgReader& a) {
  PublicKeySource key = ReadPublicKeySource(a);
  Bytes data = OperationData(a);
  auto out = a.Value("--out");
  if (!key.pk_file && key.modulus.size() != kModulusSize)
    a.Fail("--modulus: expected 128 bytes, got " + std::to_string(key.modulus.size()));
  if (key.pk_file) return KeyIdAction("rsaPublicEncryptUsePKFile", rsaPublicEncryptUsePKFile, *key.pk_file, data, out);
  return [=](Context& c) {
    uint8_t result[256];
    uint32_t result_len = 0;
    int32_t sw = rsaPublicEncrypt(key.modulus.data(), data.data(), static_cast<uint8_t>(data.size()), result,
                                  &result_len, c.reader);
    c.report.Status("rsaPublicEncrypt", sw);
    if (sw == 0x9000) c.report.Output("result", Bytes(result, result + std::min<uint32_t>(result_len, 256)), out);
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
    if (sw == 0x9000) c.report.Output("modulus", Bytes(modulus, modulus + std::min<uint32_t>(mod_len, kModulusSize)), out);
  };
}

Action GenerateOffline(std::optional<std::string> out) {
  return [=](Context& c) {
    Bytes collected(kOfflineRoom);
    uint32_t n = 0;
    int32_t sw = OfflineRsaGenerateKeyPair(0, collected.data(), &n, c.reader);
    c.report.Status("OfflineRsaGenerateKeyPair", sw);
    collected.resize(std::min<std::size_t>(n, kOfflineRoom));
    if (sw == 0x9000) c.report.Output("private key values", collected, out);
  };
}

Action GenerateToFile(uint8_t keyid, uint8_t fid) {
  return [=](Context& c) { c.report.Status("MyRsaGeneratekey", MyRsaGeneratekey(0, fid, keyid, c.reader)); };
}

Action ParseGenKeypair(ArgReader& a) {
  auto out = a.Value("--out");
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
     "DATA   data to sign, hex bytes or @FILE (the card pads it)\n"
     "The slot's key needs passphrase 01 verified first, in the same session (tarnwick run)",
     "tarnwick rsa-sign 01 \"DA 39 A3 EE 5E 6B 4B 0D 32 55 BF EF 95 60 18 90 AF D8 07 09\"", "--in= --out=",
     true, ParseSign},
    {"rsa-decrypt", "decrypt with the card's private key in a slot (rsaPrivateDecrypt)",
     "KEYID DATA [--out FILE] | KEYID --in FILE",
     "KEYID  the private key slot (P2), hex\n"
     "DATA   the 128-byte cryptogram, hex bytes or @FILE\n"
     "The slot's key needs passphrase 01 verified first, in the same session (tarnwick run)",
     "tarnwick rsa-decrypt 01 @cryptogram.bin", "--in= --out=", true, ParseDecrypt},
    {"rsa-verify", "recover signed data with a public key (rsaPublicVerify, rsaPublicVerifyUsePKFile)",
     "(--pk-file FID | --modulus HEX) DATA [--out FILE]",
     "--pk-file  the public-key record in card file 00xx\n"
     "--modulus  the modulus, hex or @FILE (public exponent 65537)\n"
     "DATA       the signature, hex bytes or @FILE (or --in FILE)",
     "tarnwick rsa-verify --pk-file 0010 @signature.bin", "--pk-file= --modulus= --in= --out=", true,
     ParseVerify},
    {"rsa-encrypt", "encrypt with a public key (rsaPublicEncrypt, rsaPublicEncryptUsePKFile)",
     "(--pk-file FID | --modulus HEX) DATA [--out FILE]",
     "--pk-file  the public-key record in card file 00xx\n"
     "--modulus  the 128-byte modulus, hex or @FILE (public exponent 65537)\n"
     "DATA       data to encrypt, hex bytes or @FILE (or --in FILE)",
     "tarnwick rsa-encrypt --modulus @modulus.bin \"01 02 03 04\"", "--pk-file= --modulus= --in= --out=", true,
     ParseEncrypt},
    {"write-public-key", "store a public-key record in a transparent file (WritePublicKey)",
     "FID MODULUS [--exp-len E]",
     "FID        the transparent file 00xx that receives the record\n"
     "MODULUS    the 128-byte modulus, hex or @FILE\n"
     "--exp-len  how many bytes of the exponent 01 00 01 to store, 0 to 3 (default 3)",
     "tarnwick write-public-key 0010 @modulus.bin", "--exp-len=", true, ParseWritePublicKey},
    {"gen-keypair", "have the card generate an RSA-1024 key pair",
     "KEYID [--out FILE] | KEYID --to-file FID | --offline [--out FILE]",
     "KEYID      the key slot (P2), hex; prints the modulus (RsaGenerateKeyPair)\n"
     "--to-file  store the public-key record in card file 00xx instead (MyRsaGeneratekey)\n"
     "--offline  keep the key in no slot and print the private values the card hands out\n"
     "           (OfflineRsaGenerateKeyPair); the card takes a while to generate\n"
     "A key into a slot needs passphrase 01 verified first, in the same session (tarnwick run)",
     "tarnwick gen-keypair 01 --out modulus.bin", "--out= --to-file= --offline", true, ParseGenKeypair},
};

}  // namespace

std::span<const Command> RsaCommands() { return kCommands; }

}  // namespace tarnwick::cli
