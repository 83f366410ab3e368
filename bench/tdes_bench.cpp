// Host two-key triple-DES: TriDesEncrypt beside libcrypto's EVP des-ede-ecb
// in one run, on a 64 KiB buffer and on single 8-byte blocks:
//
//   tdes_bench [ROUNDS]
//
// TriDesEncrypt computes its key schedules on every call, so EVP is keyed
// afresh on every call too, in its cheapest way: EVP_EncryptInit_ex with
// the key alone on a context that keeps the cipher. The two paths take
// turns, one batch of calls each and the first place alternating, so that
// both see the same load on the machine; the median time of a call is
// printed for each, with their ratio, in processor time and in wall time.
// On a busy machine the processor time is the figure to read: a turn is
// preempted the more often the longer it lasts, which swells the wall time
// of the slower path beyond its share.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "tarnwick.h"

namespace {

constexpr uint8_t kKey[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                              0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

struct Case {
  const char* name;
  int len;
  int calls_per_turn;  // enough calls that a turn lasts well over a clock tick
};
constexpr Case kCases[] = {{"64 KiB", 64 * 1024, 1}, {"8 bytes", 8, 1024}};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

class Evp {
 public:
  Evp() : cipher_(EVP_CIPHER_fetch(nullptr, "DES-EDE-ECB", nullptr)), ctx_(EVP_CIPHER_CTX_new()) {
    ok_ = cipher_ != nullptr && ctx_ != nullptr &&
          EVP_EncryptInit_ex(ctx_, cipher_, nullptr, kKey, nullptr) == 1 &&
          EVP_CIPHER_CTX_set_padding(ctx_, 0) == 1;
  }
  ~Evp() {
    EVP_CIPHER_CTX_free(ctx_);
    EVP_CIPHER_free(cipher_);
  }
  Evp(const Evp&) = delete;
  Evp& operator=(const Evp&) = delete;

  bool Encrypt(const uint8_t* in, uint8_t* out, int len) {
    int written = 0;
    ok_ = ok_ && EVP_EncryptInit_ex(ctx_, nullptr, nullptr, kKey, nullptr) == 1 &&
          EVP_EncryptUpdate(ctx_, out, &written, in, len) == 1 && written == len;
    return ok_;
  }

 private:
  EVP_CIPHER* cipher_;
  EVP_CIPHER_CTX* ctx_;
  bool ok_;
};

struct Times {
  std::vector<double> processor_us;
  std::vector<double> wall_us;
};

// One turn of `calls` calls; records the time per call.
template <typename Call>
void Turn(int calls, Call call, Times& times) {
  const std::clock_t processor_start = std::clock();
  const auto wall_start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) call();
  const auto wall = std::chrono::steady_clock::now() - wall_start;
  const double processor = static_cast<double>(std::clock() - processor_start) / CLOCKS_PER_SEC;
  times.processor_us.push_back(processor * 1e6 / calls);
  times.wall_us.push_back(std::chrono::duration<double, std::micro>(wall).count() / calls);
}

// Times one case; false when the two paths disagree or EVP failed.
bool RunCase(const Case& c, int rounds, Evp& evp) {
  std::vector<uint8_t> in(c.len);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 131 + 7);
  std::vector<uint8_t> ours(c.len), theirs(c.len);
  auto tarnwick = [&] { TriDesEncrypt(kKey, in.data(), ours.data(), c.len); };
  auto openssl = [&] { evp.Encrypt(in.data(), theirs.data(), c.len); };
  tarnwick();
  if (!evp.Encrypt(in.data(), theirs.data(), c.len) || ours != theirs) {
    std::fprintf(stderr, "%s: TriDesEncrypt and EVP disagree (or EVP failed)\n", c.name);
    return false;
  }
  Times ours_t, theirs_t;
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) Turn(c.calls_per_turn, tarnwick, ours_t);
    Turn(c.calls_per_turn, openssl, theirs_t);
    if (r % 2 == 1) Turn(c.calls_per_turn, tarnwick, ours_t);
  }
  const double a = Median(ours_t.processor_us), b = Median(theirs_t.processor_us);
  const double wa = Median(ours_t.wall_us), wb = Median(theirs_t.wall_us);
  std::printf("%-7s %d turns x %d calls\n", c.name, rounds, c.calls_per_turn);
  std::printf("  processor  TriDesEncrypt %9.3f us  EVP %9.3f us  %5.2fx\n", a, b, b / a);
  std::printf("  wall       TriDesEncrypt %9.3f us  EVP %9.3f us  %5.2fx\n", wa, wb, wb / wa);
  return evp.Encrypt(in.data(), theirs.data(), c.len);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 400;
  if (rounds < 1) {
    std::fprintf(stderr, "usage: tdes_bench [ROUNDS]\n");
    return 2;
  }
  Evp evp;
  std::printf("median time of one call, the two paths taking turns; ratio EVP / TriDesEncrypt\n");
  for (const Case& c : kCases) {
    if (!RunCase(c, rounds, evp)) return 1;
  }
  return 0;
}
