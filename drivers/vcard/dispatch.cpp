// The instruction table and the checks every command goes through before
// its handler: class byte, instruction, framing, long operations.
#include "dispatch.h"

#include <iterator>

#include "handlers.h"
#include "long_operation.h"
#include "protocol/instructions.h"

namespace tarnwick::vcard {
namespace {

using Handler = Answer (*)(CardState&, const Command&);
using protocol::Instruction;

struct Route {
  const Instruction& instruction;
  Handler handler;
};

// Instructions that share an INS byte and differ by P1 or by the framing.
Answer HashOrLoadPublicKey(CardState& s, const Command& c) {
  return c.CarriesDataOnly() ? HashSha1(s, c) : LoadPublicKey(s, c);
}
Answer GenerateOrDeriveKey(CardState& s, const Command& c) {
  return ins::kGenerateKeyPair.Names(c.cla, c.ins, c.p1) ? GenerateKeyPair(s, c) : CdeaKeyCommand(s, c);
}

constexpr Route kRoutes[] = {
    {ins::kSelectFile, SelectFile},
    {ins::kReadBinary, ReadBinary},
    {ins::kUpdateBinary, UpdateBinary},
    {ins::kReadRecord, ReadRecord},
    {ins::kUpdateRecord, UpdateRecord},
    {ins::kAppendRecord, AppendRecord},
    {ins::kVerify, Verify},
    {ins::kGetChallenge, GetChallenge},
    {ins::kExternalAuthenticate, ExternalAuthenticate},
    {ins::kCreateFile, CreateFile},
    {ins::kEraseDf, EraseDf},
    {ins::kChangeProtocol, ChangeProtocol},
    {ins::kChangePassphrase, ChangePassphrase},
    {ins::kUnblockPassphrase, UnblockPassphrase},
    {ins::kWriteKey, WriteKey},
    {ins::kRsaSign, RsaSign},
    {ins::kRsaVerify, RsaVerify},
    {ins::kRsaEncrypt, RsaEncrypt},
    {ins::kRsaDecrypt, RsaDecrypt},
    {ins::kHashSha1, HashOrLoadPublicKey},
    {ins::kCdeaKeyCommand, GenerateOrDeriveKey},
    {ins::kCdeaLoadKey, CdeaLoadKey},
    {ins::kCdeaEncrypt, CdeaEncrypt},
    {ins::kCdeaDecrypt, CdeaDecrypt},
    {ins::kCdeaCommand, CdeaSessionCommand},
    {ins::kCardDes, CardDes},
};

// Class bytes of the first interindustry range (0x00 to 0x1F) that ask for
// what this card does not do: command chaining (bit 5, except the card DES
// command, whose class is 0x10), secure messaging (bits 4-3), logical
// channels (bits 2-1). Other classes than 0x00 and 0x80 are unknown.
uint16_t CheckClass(uint8_t cla) {
  if (cla == protocol::kIsoClass || cla == protocol::kProprietaryClass || cla == protocol::kCardDesClass)
    return sw::kSuccess;
  if (cla > 0x1F) return sw::kClaNotSupported;
  if (cla & 0x10) return sw::kChainingUnsupported;
  if (cla & 0x0C) return sw::kSecureMessagingUnsupported;
  return sw::kChannelUnsupported;
}

Handler Find(uint8_t cla, uint8_t ins_byte) {
  for (const Route& r : kRoutes)
    if (r.instruction.cla == cla && r.instruction.ins == ins_byte) return r.handler;
  return nullptr;
}

Answer RouteCommand(CardState& state, const uint8_t* apdu, std::size_t len) {
  if (IsPoll(apdu, len)) return Poll(state);
  std::optional<Command> c = ParseCommand(apdu, len);
  if (!c) {
    state.transient.pending = std::monostate{};
    return Status(sw::kWrongLength);
  }
  if (!ContinuesLongOperation(state, *c)) state.transient.pending = std::monostate{};
  const uint16_t class_check = CheckClass(c->cla);
  if (class_check != sw::kSuccess) return Status(class_check);
  Handler handler = Find(c->cla, c->ins);
  if (handler == nullptr)
    return Status(c->cla == protocol::kCardDesClass ? sw::kChainingUnsupported : sw::kInsNotSupported);
  return handler(state, *c);
}

}  // namespace

Answer Dispatch(CardState& state, const uint8_t* apdu, std::size_t len) {
  Answer answer = RouteCommand(state, apdu, len);
  // The transport carries one length byte; no handler answers more.
  if (answer.data.size() > 255) return Status(sw::kNoDiagnosis);
  return answer;
}

}  // namespace tarnwick::vcard
