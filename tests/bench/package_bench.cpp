// Throughput of the install package code: MD5 over 16 KiB blocks, the cipher
// over a 1 MiB entry, and the whole walk over a package of the delivered size
// (6,694,645 bytes, 25 entries) held in memory, with the file writes left out.
// After the benchmark's own table it prints one line each:
//   bench md5 bytes_per_second=<N>
//   bench decipher bytes_per_second=<N>
//   bench extract bytes_per_second=<N>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "setup/package/md5.h"
#include "setup/package/package_builder.h"
#include "setup/package/package_cipher.h"
#include "setup/package/package_reader.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

void SetRate(benchmark::State& state, size_t bytes_per_iteration) {
  state.counters["bytes_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(bytes_per_iteration),
      benchmark::Counter::kIsRate);
}

void Md5Blocks(benchmark::State& state) {
  const std::vector<uint8_t> block = RandomBytes(16384, 1);
  uint8_t digest[16];
  for (auto _ : state) {
    ComputeMd5(block.data(), block.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  SetRate(state, block.size());
}

void Decipher(benchmark::State& state) {
  std::vector<uint8_t> entry = RandomBytes(1 << 20, 2);
  const uint8_t table[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};
  for (auto _ : state) {
    DecipherEntry(entry.data(), static_cast<uint32_t>(entry.size()), 0x12345678u, table);
    benchmark::ClobberMemory();
  }
  SetRate(state, entry.size());
}

// Entry sizes of a package as large as the delivered one: driver files,
// setup programs, the mixer application and the libraries.
const uint32_t kEntrySizes[25] = {
    2238,  2238,   9872, 118400, 9872, 118400, 9872, 112640,  10044, 142848, 10044,  142848, 412160,
    98304, 131072, 5120, 5120,   5120, 5120,   5120, 3754100, 4096,  663552, 813056, 99489};

int NoFolders(void*, const char*) { return 1; }
int NoWrite(void*, const char*, const uint8_t*, uint32_t) { return 1; }

void Extract(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> files;
  PackageSource sources[25];
  for (int i = 0; i < 25; ++i) {
    files.push_back(RandomBytes(kEntrySizes[i], 100 + static_cast<uint32_t>(i)));
    sources[i] = {kPackageEntryNames[i], files.back().data(), kEntrySizes[i]};
  }
  const uint32_t size = MeasurePackage(sources);
  std::vector<uint8_t> package(size);
  BuildPackage(sources, package.data(), size);
  std::vector<uint8_t> image(size);
  PackageSink sink = {};
  sink.create_folders = NoFolders;
  sink.write_file = NoWrite;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(image.data(), package.data(), size);
    state.ResumeTiming();
    const int failed =
        WalkPackage(image.data(), size, "C:\\Program Files\\QX\\Brindlemoor", nullptr, &sink);
    if (failed != 0) state.SkipWithError("the package did not verify");
  }
  state.counters["package_bytes"] = size;
  SetRate(state, size);
}

// Keeps the console table and remembers each benchmark's median rate over the
// repetitions for the summary (a single run is at the mercy of the machine).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}
  std::vector<std::pair<std::string, double>> rates;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end())
        rates.emplace_back(run.run_name.function_name, it->second.value);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("md5", Md5Blocks)
      ->MinTime(0.3)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("decipher", Decipher)
      ->MinTime(0.3)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
  benchmark::RegisterBenchmark("extract", Extract)
      ->MinTime(0.5)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
  // The reporter is ours, so it takes the colour choice from the command line
  // itself: colour only on a terminal and unless --benchmark_color=false.
  bool color = isatty(STDOUT_FILENO) != 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--benchmark_color=false") == 0) color = false;
  }
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter(color ? benchmark::ConsoleReporter::OO_Defaults
                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  std::printf("\n");
  for (const auto& [name, rate] : reporter.rates) {
    std::printf("bench %s bytes_per_second=%.0f\n", name.c_str(), rate);
  }
  benchmark::Shutdown();
  return 0;
}
