// The software digest's block function, arranged for speed. Every step
// updates all four chaining words, and the chain of operations through the
// newest working word a bounds the throughput, so:
// - everything that does not wait for the newest a (W[t] + K + d, ROTL(c, 3)
//   and the parts of the boolean function made of A and b alone) is formed
//   off that chain;
// - b, c and d are rotated copies of earlier a values, so H1, H2 and H3
//   receive the same values one and two steps apart: one running sum of the
//   new a values and one of the new b values replace the four additions per
//   step, and the end of the block settles the difference;
// - the function repeats every 4 steps and the constant every 5, so the
//   steps are unrolled 20 at a time with the working words renamed instead
//   of moved.
#include <bit>

#include "host/soft_digest.h"

#if defined(__GNUC__)
#define TW_STEP_INLINE [[gnu::always_inline]] inline
#else
#define TW_STEP_INLINE inline
#endif

namespace tarnwick::digest {
namespace {

constexpr int kBlockWords = 16;
constexpr int kSteps = 80;
constexpr int kUnrolled = 20;
// Steps 0 to 63 each extend the schedule by the word that step t + 16 reads.
constexpr int kExtendingSteps = kSteps - kBlockWords;
constexpr uint32_t kStepConstants[5] = {0x3E6A1C85, 0x74D2B90F, 0xA81F5E36, 0x0C9B47E2,
                                        0xE5307DA9};

uint32_t LoadBigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// f(A, a, b) + x for the step's function (t mod 4), written so that a enters
// at most two operations before the final addition.
template <int kFunction>
TW_STEP_INLINE uint32_t AddStepFunction(uint32_t A, uint32_t a, uint32_t b, uint32_t x) {
  if constexpr (kFunction == 0) {
    return (a ^ (A ^ b)) + x;
  } else if constexpr (kFunction == 1) {
    // (A AND NOT a) OR (a AND b) takes b where a is set and A elsewhere.
    return (A ^ (a & (A ^ b))) + x;
  } else if constexpr (kFunction == 2) {
    return ((~A | a) ^ b) + x;
  } else {
    // The majority of A, a and b. Its two terms never share a bit, so their
    // OR is a sum and A AND b joins x ahead of a.
    return (a & (A ^ b)) + ((A & b) + x);
  }
}

struct RunningSums {
  uint32_t a = 0;  // every new a of the block
  uint32_t b = 0;  // every new b of the block
};

// Step t of the block, with kStep = t mod 20 and w pointing at W[t - kStep].
// The new a is written over d and the new b over a, so the words (a, b, c, d)
// continue as (d, a, b, c) in the next step.
//
// The schedule is extended here, one word per step, rather than in a pass of
// its own: a vectorised pass reads words that straddle its own fresh stores,
// and the failed store-to-load forwarding costs more than the pass saves.
template <int kStep, bool kExtend>
TW_STEP_INLINE void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t& d, uint32_t* w,
                         RunningSums& sums) {
  if constexpr (kExtend) {
    w[kStep + 16] = std::rotl(w[kStep] ^ w[kStep + 5] ^ w[kStep + 10] ^ w[kStep + 11], 1);
  }
  d = AddStepFunction<kStep % 4>(std::rotl(c, 3), a, b, w[kStep] + kStepConstants[kStep % 5] + d);
  a = std::rotl(a, 23);
  sums.a += d;
  sums.b += a;
}

// Steps kFirst to kFirst + 3 of a group; those below kExtendBelow extend the
// schedule.
template <int kFirst, int kExtendBelow>
TW_STEP_INLINE void FourSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t* w,
                              RunningSums& sums) {
  Step<kFirst, (kFirst < kExtendBelow)>(a, b, c, d, w, sums);
  Step<kFirst + 1, (kFirst + 1 < kExtendBelow)>(d, a, b, c, w, sums);
  Step<kFirst + 2, (kFirst + 2 < kExtendBelow)>(c, d, a, b, w, sums);
  Step<kFirst + 3, (kFirst + 3 < kExtendBelow)>(b, c, d, a, w, sums);
}

template <int kExtendBelow>
TW_STEP_INLINE void TwentySteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t* w,
                                RunningSums& sums) {
  FourSteps<0, kExtendBelow>(a, b, c, d, w, sums);
  FourSteps<4, kExtendBelow>(a, b, c, d, w, sums);
  FourSteps<8, kExtendBelow>(a, b, c, d, w, sums);
  FourSteps<12, kExtendBelow>(a, b, c, d, w, sums);
  FourSteps<16, kExtendBelow>(a, b, c, d, w, sums);
}

void CompressBlock(Chain& h, const uint8_t* block) {
  uint32_t w[kSteps];
  for (int i = 0; i < kBlockWords; ++i) w[i] = LoadBigEndian(block + 4 * i);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  RunningSums sums;
  int t = 0;
  for (; t + kUnrolled <= kExtendingSteps; t += kUnrolled) {
    TwentySteps<kUnrolled>(a, b, c, d, w + t, sums);
  }
  TwentySteps<kExtendingSteps % kUnrolled>(a, b, c, d, w + t, sums);

  // H1 took every new b; H2 took the same values one step later, so not the
  // last one but the b the block started with; H3 two steps later, so not
  // the last two but the block's starting b and c.
  const uint32_t start_b = h[1];
  const uint32_t start_c = h[2];
  h[0] += sums.a;
  h[1] += sums.b;
  h[2] += sums.b - b + start_b;
  h[3] += sums.b - b - c + start_b + start_c;
}

}  // namespace

void CompressBlocks(Chain& chain, const uint8_t* blocks, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) CompressBlock(chain, blocks + i * kBlockSize);
}

}  // namespace tarnwick::digest
