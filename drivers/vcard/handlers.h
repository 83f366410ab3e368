// The card's command handlers, one per instruction (or instruction family),
// each given the whole card state and the parsed command.
#pragma once

#include "answer.h"
#include "command.h"
#include "state.h"

namespace tarnwick::vcard {

// File system.
Answer SelectFile(CardState& state, const Command& c);
Answer ReadBinary(CardState& state, const Command& c);
Answer UpdateBinary(CardState& state, const Command& c);
Answer ReadRecord(CardState& state, const Command& c);
Answer UpdateRecord(CardState& state, const Command& c);
Answer AppendRecord(CardState& state, const Command& c);
Answer CreateFile(CardState& state, const Command& c);
Answer EraseDf(CardState& state, const Command& c);

// Security.
Answer Verify(CardState& state, const Command& c);
Answer ChangePassphrase(CardState& state, const Command& c);
Answer UnblockPassphrase(CardState& state, const Command& c);
Answer WriteKey(CardState& state, const Command& c);
Answer GetChallenge(CardState& state, const Command& c);
Answer ExternalAuthenticate(CardState& state, const Command& c);

// RSA: the four operations, the key-load frame (0x80 0xCC with an Le byte),
// and key-pair generation (0x80 0xCE with P1 0x00).
Answer RsaSign(CardState& state, const Command& c);
Answer RsaVerify(CardState& state, const Command& c);
Answer RsaEncrypt(CardState& state, const Command& c);
Answer RsaDecrypt(CardState& state, const Command& c);
Answer LoadPublicKey(CardState& state, const Command& c);
Answer GenerateKeyPair(CardState& state, const Command& c);

// Symmetric cryptography and digests.
Answer CardDes(CardState& state, const Command& c);
Answer CdeaLoadKey(CardState& state, const Command& c);
Answer CdeaEncrypt(CardState& state, const Command& c);
Answer CdeaDecrypt(CardState& state, const Command& c);
Answer CdeaKeyCommand(CardState& state, const Command& c);
Answer CdeaSessionCommand(CardState& state, const Command& c);
Answer HashSha1(CardState& state, const Command& c);

// The reader's protocol.
Answer ChangeProtocol(CardState& state, const Command& c);

}  // namespace tarnwick::vcard
