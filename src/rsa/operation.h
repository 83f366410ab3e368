// The RSA operation command: one block of data signed, verified, encrypted
// or decrypted by the card with a key it already holds.
#pragma once

#include <cstdint>

#include "transport/frame.h"

namespace tarnwick::rsa {

// The most data an operation frame carries while its length still fits the
// one length byte the driver takes.
constexpr uint8_t kMaxOperationData = CommandFrame::kMaxSendable - CommandFrame::kHeaderSize;

// Sends the operation's 80 <ins> 00 <key_id> <len> <data>. On 0x9000 the card's answer and
// its length go to out and out_len; otherwise neither is touched. Data above
// kMaxOperationData is refused with 0x6700 and nothing is sent.
int32_t RunOperation(uint32_t handle, const protocol::Instruction& operation, uint8_t key_id, const uint8_t* data,
                     uint8_t len, uint8_t* out, uint32_t* out_len);

}  // namespace tarnwick::rsa
