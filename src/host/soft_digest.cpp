// Padding for the software digest: whole blocks are hashed where they lie in
// the caller's message, only the tail and the padding go through a local
// buffer.
#include <cstring>

#include "host/soft_digest.h"

namespace tarnwick::digest {
namespace {

constexpr uint8_t kEndMark = 0x80;
constexpr std::size_t kLengthFieldSize = 4;
// A tail longer than this takes its padding into one more block. The cut
// sits at 56 even though the end mark and the 4-byte length would still fit
// behind a tail of up to 59 bytes.
constexpr std::size_t kLongestTailInOneBlock = 56;

}  // namespace

Chain Digest(const uint8_t* msg, uint32_t len) {
  Chain chain = kInitialChain;
  const std::size_t whole_blocks = len / kBlockSize;
  CompressBlocks(chain, msg, whole_blocks);

  const std::size_t tail = len % kBlockSize;
  const std::size_t tail_blocks = tail > kLongestTailInOneBlock ? 2 : 1;
  uint8_t padded[2 * kBlockSize] = {};
  const std::size_t padded_size = tail_blocks * kBlockSize;
  if (tail != 0) std::memcpy(padded, msg + whole_blocks * kBlockSize, tail);
  padded[tail] = kEndMark;
  // The field holds the bit length modulo 2^32.
  StoreBigEndian(len * 8u, padded + padded_size - kLengthFieldSize);
  CompressBlocks(chain, padded, tail_blocks);
  return chain;
}

}  // namespace tarnwick::digest
