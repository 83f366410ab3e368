// Throughput of the software digest beside OpenSSL's SHA-1 in the same run,
// for 64-byte, 1 KiB and 1 MiB messages, followed by the ratio per size.
// To compare with SHA-1 as computed without the CPU's SHA instructions:
//   OPENSSL_ia32cap=":~0x20000000" build/out/digest_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tarnwick.h"

namespace {

constexpr int64_t kSizes[] = {64, 1024, 1 << 20};

std::vector<uint8_t> Message(int64_t n) { return std::vector<uint8_t>(n, 0x5A); }

void SoftDigest(benchmark::State& state) {
  const std::vector<uint8_t> msg = Message(state.range(0));
  uint8_t out[16];
  for (auto _ : state) {
    softDHADigest(msg.data(), static_cast<uint32_t>(msg.size()), out, 16);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The digest object and context are set up once, as a caller hashing many
// messages would; each iteration hashes one whole message.
void OpenSslSha1(benchmark::State& state) {
  const std::vector<uint8_t> msg = Message(state.range(0));
  EVP_MD* sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  uint8_t out[EVP_MAX_MD_SIZE];
  unsigned int out_len = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(ctx, sha1, nullptr);
    EVP_DigestUpdate(ctx, msg.data(), msg.size());
    EVP_DigestFinal_ex(ctx, out, &out_len);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(sha1);
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The usual console table, then the digest's throughput as a share of
// SHA-1's for each message size.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With --benchmark_repetitions the median stands for the size; it is
    // reported after the single runs.
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      rates_[std::stoll(run.run_name.args)][run.run_name.function_name] = rate->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [size, by_name] : rates_) {
      const auto soft = by_name.find("SoftDigest");
      const auto sha1 = by_name.find("OpenSslSha1");
      if (soft == by_name.end() || sha1 == by_name.end()) continue;
      std::printf("%8lld bytes: softDHADigest %7.1f MB/s, SHA-1 %7.1f MB/s, ratio %.3f\n",
                  static_cast<long long>(size), soft->second / 1e6, sha1->second / 1e6,
                  soft->second / sha1->second);
    }
  }

 private:
  // message size -> benchmark name -> bytes per second
  std::map<int64_t, std::map<std::string, double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  // Each size runs both digests back to back, so that they see the same
  // machine load.
  for (int64_t size : kSizes) {
    benchmark::RegisterBenchmark("SoftDigest", SoftDigest)->Arg(size);
    benchmark::RegisterBenchmark("OpenSslSha1", OpenSslSha1)->Arg(size);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
