// The card's CDEA cipher as the Cdea_ exports share it: the key load, the
// block loop and the key command.
#pragma once

#include <cstdint>

#include "protocol/instructions.h"

namespace tarnwick::cipher {

// 80 F4 00 00 10 and the 16-byte key; the card's status word.
int32_t LoadCdeaKey(uint32_t reader, const uint8_t* key);

// Encryption and the cipher command pad a short last block with zeros;
// decryption always sends the 16 bytes that lie at the offset.
enum class LastBlock { kZeroFilled, kAsItLies };

// Sends one command of the instruction per 16-byte block and copies each
// answer to the same offset of the output. The count always says how many
// output bytes are valid, also when a block fails part-way.
int32_t RunCdeaBlocks(uint32_t reader, const protocol::Instruction& instruction, LastBlock last,
                      const uint8_t* in, int32_t len, uint8_t* out, int32_t* count);

// The key command 80 CE in mode 0 (P1 0x20, P2 0) or 1 (P1 0x60, P2 as
// given); -1 for another mode. The answer goes straight into the caller's
// buffers, as the driver leaves it.
int32_t CdeaKeyCommand(uint32_t reader, int32_t mode, const uint8_t* data, int32_t len, uint8_t* rsp,
                       uint8_t* rsp_len, int32_t p2);

}  // namespace tarnwick::cipher
