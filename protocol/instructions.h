// The card's commands, each declared once: class and instruction byte with
// the traits (secret bytes, busy phase) that the library's frames, the
// card's dispatch, the trace and the fuzz harnesses read from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/public_key_record.h"

namespace tarnwick::protocol {

// The command's data bytes that carry a secret, counted from the start of
// the data field.
inline constexpr uint16_t kNoSecretData = 0;
inline constexpr uint16_t kAllData = 0xFFFF;

enum class SecretAnswer : uint8_t {
  kNone,
  // Key-pair generation with no key slot hands the private values out, one
  // per answer, after the public-key record.
  kPrivateKeyValues,
};

// A P1 that does not name the command (the command takes any P1).
inline constexpr int kAnyP1 = -1;

struct Instruction {
  uint8_t cla;
  uint8_t ins;
  // For commands that share their INS: the P1 that tells this one apart.
  int p1 = kAnyP1;
  // All data is secret unless the command says otherwise: a new command's
  // data stays out of the trace until it is declared public.
  uint16_t secret_data = kAllData;
  SecretAnswer secret_answer = SecretAnswer::kNone;
  // A long command: the card answers the poll frame with 0x6FF0 until it
  // is done, then with 0x6D00.
  bool busy_phase = false;
  // The command puts a new secret (passphrase, key) in the card's memory
  // in place of the old one, which must not linger where the card keeps it.
  bool replaces_secret = false;

  constexpr bool Names(uint8_t c, uint8_t i, uint8_t p) const {
    return c == cla && i == ins && (p1 == kAnyP1 || p1 == p);
  }
};

inline constexpr uint8_t kIsoClass = 0x00;
inline constexpr uint8_t kProprietaryClass = 0x80;
inline constexpr uint8_t kCardDesClass = 0x10;

}  // namespace tarnwick::protocol

namespace tarnwick::ins {

using protocol::Instruction;
using protocol::kCardDesClass;
using protocol::kIsoClass;
using protocol::kNoSecretData;
using protocol::kProprietaryClass;

// A command whose data carries no secret says so.
constexpr Instruction Public(uint8_t cla, uint8_t ins) {
  return Instruction{.cla = cla, .ins = ins, .secret_data = kNoSecretData};
}

// Five zero bytes, sent to wait until a busy card is ready again.
inline constexpr Instruction kPoll = Public(kIsoClass, 0x00);

// Files and records.
inline constexpr Instruction kSelectFile = Public(kIsoClass, 0xA4);
inline constexpr Instruction kReadBinary = Public(kIsoClass, 0xB0);
inline constexpr Instruction kUpdateBinary = Public(kIsoClass, 0xD6);
inline constexpr Instruction kReadRecord = Public(kIsoClass, 0xB2);
inline constexpr Instruction kUpdateRecord = Public(kIsoClass, 0xDC);
inline constexpr Instruction kAppendRecord = Public(kIsoClass, 0xE2);
inline constexpr Instruction kCreateFile = Public(kProprietaryClass, 0xE0);
inline constexpr Instruction kEraseDf{
    .cla = kProprietaryClass, .ins = 0x0E, .secret_data = kNoSecretData, .busy_phase = true};

// Reader session.
inline constexpr Instruction kChangeProtocol = Public(kProprietaryClass, 0x14);

// Passphrases and keys: every byte of a passphrase, an unblocking code or a
// key block is secret.
inline constexpr Instruction kVerify{.cla = kIsoClass, .ins = 0x20};
inline constexpr Instruction kChangePassphrase{.cla = kProprietaryClass, .ins = 0x24, .replaces_secret = true};
inline constexpr Instruction kUnblockPassphrase{.cla = kProprietaryClass, .ins = 0x2C, .replaces_secret = true};
inline constexpr Instruction kWriteKey{.cla = kProprietaryClass, .ins = 0xD4, .replaces_secret = true};
inline constexpr Instruction kGetChallenge = Public(kIsoClass, 0x84);
inline constexpr Instruction kExternalAuthenticate = Public(kIsoClass, 0x82);

// RSA: the four operations, the key-load frame (the INS of SHA-1, told
// apart by its Le byte) and key-pair generation (the INS of the CDEA key
// command, told apart by P1 0x00).
inline constexpr Instruction kRsaSign = Public(kProprietaryClass, 0xC2);
inline constexpr Instruction kRsaVerify = Public(kProprietaryClass, 0xC4);
inline constexpr Instruction kRsaEncrypt = Public(kProprietaryClass, 0xC6);
inline constexpr Instruction kRsaDecrypt = Public(kProprietaryClass, 0xC8);
inline constexpr Instruction kLoadPublicKey = Public(kProprietaryClass, 0xCC);
// Generation carries no data; a frame that does carry some is hidden.
inline constexpr Instruction kGenerateKeyPair{.cla = kProprietaryClass,
                                              .ins = 0xCE,
                                              .p1 = 0x00,
                                              .secret_answer = protocol::SecretAnswer::kPrivateKeyValues,
                                              .busy_phase = true,
                                              .replaces_secret = true};

// Symmetric ciphers and the digest. The card DES command carries its key
// ahead of the 8-byte block; the CDEA key load carries nothing but a key.
inline constexpr Instruction kCardDes{.cla = kCardDesClass, .ins = 0x02, .secret_data = 8};
inline constexpr Instruction kCdeaLoadKey{.cla = kProprietaryClass, .ins = 0xF4};
inline constexpr Instruction kCdeaEncrypt = Public(kProprietaryClass, 0xF0);
inline constexpr Instruction kCdeaDecrypt = Public(kProprietaryClass, 0xF2);
inline constexpr Instruction kCdeaKeyCommand = Public(kProprietaryClass, 0xCE);
inline constexpr Instruction kCdeaCommand = Public(kProprietaryClass, 0xFA);
inline constexpr Instruction kHashSha1 = Public(kProprietaryClass, 0xCC);

// T=0 transport: fetches the rest of an answer that 61xx announced.
inline constexpr Instruction kGetResponse = Public(kIsoClass, 0xC0);

// Every command above. One missing here is traced as unknown, with all its
// data hidden.
inline constexpr const Instruction* kAll[] = {
    &kPoll,         &kSelectFile,       &kReadBinary,        &kUpdateBinary,   &kReadRecord,
    &kUpdateRecord, &kAppendRecord,     &kCreateFile,        &kEraseDf,        &kChangeProtocol,
    &kVerify,       &kChangePassphrase, &kUnblockPassphrase, &kWriteKey,       &kGetChallenge,
    &kExternalAuthenticate, &kRsaSign,  &kRsaVerify,         &kRsaEncrypt,     &kRsaDecrypt,
    &kLoadPublicKey, &kGenerateKeyPair, &kCardDes,           &kCdeaLoadKey,    &kCdeaEncrypt,
    &kCdeaDecrypt,  &kCdeaKeyCommand,   &kCdeaCommand,       &kHashSha1,       &kGetResponse,
};

}  // namespace tarnwick::ins

namespace tarnwick::protocol {

inline constexpr std::size_t kHeaderLength = 5;

// The declared commands a command frame may be: its INS and, where the
// declaration names one, its P1. The class byte is not looked at, so that a
// command sent in the wrong class still hides its passphrase or key.
constexpr bool MayBe(const Instruction& i, std::span<const uint8_t> command) {
  return command.size() >= 2 && i.ins == command[1] &&
         (i.p1 == kAnyP1 || (command.size() >= 3 && i.p1 == command[2]));
}

// How many data bytes of the command, from the start of its data field, are
// secret: the most that any command it may be declares. A command no
// instruction declares hides all of its data.
constexpr uint16_t SecretDataBytes(std::span<const uint8_t> command) {
  bool declared = false;
  uint16_t secret = kNoSecretData;
  for (const Instruction* i : ins::kAll) {
    if (!MayBe(*i, command)) continue;
    declared = true;
    if (i->secret_data > secret) secret = i->secret_data;
  }
  return declared ? secret : kAllData;
}

// Whether the command may put a new secret in place of an old one.
constexpr bool ReplacesSecret(std::span<const uint8_t> command) {
  for (const Instruction* i : ins::kAll)
    if (i->replaces_secret && MayBe(*i, command)) return true;
  return false;
}

// Whether the answer's data is secret: a generation into no key slot
// (P2 0x00) shows nothing but its public-key record, which no private value
// is as long as. The decision rests on what was sent, never on what came
// back, so that a secret cannot show itself by looking harmless.
constexpr bool AnswerIsSecret(std::span<const uint8_t> command, std::span<const uint8_t> answer) {
  for (const Instruction* i : ins::kAll)
    if (i->secret_answer == SecretAnswer::kPrivateKeyValues && MayBe(*i, command) && command.size() >= 4 &&
        command[3] == 0x00)
      return !record::IsCardRecord(answer);
  return false;
}

}  // namespace tarnwick::protocol
