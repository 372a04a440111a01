// Throughput of RenderGenerator on 4,408-frame stereo blocks, one signal per
// benchmark, and of genrender's high quality (the precise synth and 16-bit
// PCM with TPDF dither) on the sine. After the benchmark's own table it prints
// one line a signal:
//   bench <signal> frames_per_second=<N> realtime_factor=<N/44100>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "generator/engine/engine.h"
#include "generator/engine/precise_synth.h"
#include "generator/files/wav_file.h"

namespace {

constexpr int kBlockFrames = 4408;

struct Signal {
  const char* name;
  void (*setup)(GeneratorSettings* s);
};

const Signal kSignals[] = {
    {"sine", [](GeneratorSettings*) {}},
    {"square", [](GeneratorSettings* s) { s->waveform = kWaveSquare; }},
    {"sweep", [](GeneratorSettings* s) { s->sweep_flags = kSweepOn | kSweepBackAndForth; }},
    {"pink",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoisePinkStereo;
     }},
    {"multitone",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoiseMultiTone;
     }},
    {"gate", [](GeneratorSettings* s) { s->gate = 1; }},  // 3.0 s on, 0.3 s off
};

// The rate the summary reports: one block of frames an iteration.
void CountFrames(benchmark::State& state) {
  state.counters["frames_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBlockFrames, benchmark::Counter::kIsRate);
}

void RenderSignal(benchmark::State& state, const Signal* signal) {
  GeneratorEngine* slot = CreateGenerator();
  SetGeneratorFormat(&slot, 44100.0f, 2);
  ResetGenerator(&slot);
  GeneratorSettings s;
  GetGeneratorSettings(slot, &s);
  signal->setup(&s);
  s.on = 1;
  SetGeneratorSettings(slot, &s);
  std::vector<int16_t> block(2 * kBlockFrames);
  for (auto _ : state) {
    RenderGenerator(&slot, block.data(), static_cast<uint32_t>(block.size() * sizeof(int16_t)));
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state);
  ReleaseGenerator(&slot);
}

void RenderHighSine(benchmark::State& state) {
  GeneratorSettings s = kGeneratorDefaults;
  s.on = 1;
  PreciseRender render;
  BeginPreciseRender(&render, s, kBlockFrames);
  Dither dither = {1};
  std::vector<unsigned char> bytes(4 * kBlockFrames);
  for (auto _ : state) {
    PackSamples(NextPreciseBlock(&render), 2 * kBlockFrames, kWavS16, &dither, bytes.data());
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state);
  EndPreciseRender(&render);
}

// Keeps the console table and remembers each signal's median rate over the
// repetitions for the summary (a single run is at the mercy of the machine).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::vector<std::pair<std::string, double>> rates;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      auto it = run.counters.find("frames_per_second");
      if (it != run.counters.end()) rates.emplace_back(run.run_name.function_name, it->second.value);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (const Signal& signal : kSignals) {
    benchmark::RegisterBenchmark(signal.name, RenderSignal, &signal)
        ->MinTime(0.3)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
  benchmark::RegisterBenchmark("high_sine", RenderHighSine)
      ->MinTime(0.3)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  std::printf("\n");
  for (const auto& [name, rate] : reporter.rates) {
    std::printf("bench %s frames_per_second=%.0f realtime_factor=%.1f\n", name.c_str(), rate,
                rate / 44100.0);
  }
  benchmark::Shutdown();
  return 0;
}
