// Throughput of RenderGenerator on 4,408-frame stereo blocks, one signal per
// benchmark; of genrender's high quality (the precise synth and 16-bit PCM
// with TPDF dither) on the sine, at 44.1 and 192 kHz, on the signals of the
// Signals menu, and on the worst case of the alias-free waveforms (a 20 Hz
// sawtooth at 192 kHz, its right channel 90° on: 1,024 harmonics a channel);
// and of what the audio
// thread renders for each width of the Output menu (a 100 ms block of the
// sine at -1 dBFS: the engine's 16 bits, or the precise synth quantised to 16
// or 24 bits). After the benchmark's own table it prints one line each:
//   bench <name> frames_per_second=<N> realtime_factor=<N / its rate>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "generator/engine/engine.h"
#include "generator/engine/pcm_quantiser.h"
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
    {"white",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoiseWhite;
     }},
    {"brown",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoiseBrown;
     }},
    {"linear_sweep",
     [](GeneratorSettings* s) { s->sweep_flags = kSweepOn | kSweepLinear | kSweepBackAndForth; }},
    {"smpte",
     [](GeneratorSettings* s) {
       s->source = kSourceTestSignal;
       s->test_signal = kTestSmpte;
     }},
    {"burst",  // 10 cycles on, 10 off, Hann-windowed
     [](GeneratorSettings* s) {
       s->source = kSourceTestSignal;
       s->test_signal = kTestBurst;
       s->burst_on_cycles = s->burst_off_cycles = 10.0f;
       s->waveform_options = kHannBurst;
     }},
    {"jtest",
     [](GeneratorSettings* s) {
       s->source = kSourceTestSignal;
       s->test_signal = kTestJTest;
     }},
    {"alias_free_square",  // 1 kHz: 11 odd harmonics below 22,050 Hz
     [](GeneratorSettings* s) {
       s->waveform = kWaveSquare;
       s->waveform_options = kAliasFree;
     }},
    {"alias_free_saw_50hz",  // 440 harmonics, near the 1,024 of the worst case
     [](GeneratorSettings* s) {
       s->waveform = kWaveSawtooth;
       s->frequency_hz = 50.0f;
       s->waveform_options = kAliasFree;
     }},
    {"alias_free_sweep",
     [](GeneratorSettings* s) {
       s->waveform = kWaveSquare;
       s->waveform_options = kAliasFree;
       s->sweep_flags = kSweepOn | kSweepBackAndForth;
     }},
    {"alias_free_saw_20hz_90deg",  // the worst case: 1,024 harmonics on both channels
     [](GeneratorSettings* s) {
       s->waveform = kWaveSawtooth;
       s->frequency_hz = 20.0f;
       s->phase_deg = 90.0f;
       s->waveform_options = kAliasFree;
     }},
    {"periodic_white",  // 2^16 samples
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoisePeriodicWhite;
     }},
    {"periodic_pink",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoisePeriodicPink;
     }},
    {"mls",
     [](GeneratorSettings* s) {
       s->source = kSourceNoise;
       s->noise_type = kNoiseMls;
     }},
    {"synchronised_sweep",
     [](GeneratorSettings* s) {
       s->sweep_flags = kSweepOn | kSweepSynchronised | kSweepBackAndForth;
     }},
    {"stepped_sweep",  // a third of an octave, 50 ms a step
     [](GeneratorSettings* s) {
       s->sweep_flags = kSweepOn | kSweepStepped | kSweepBackAndForth;
       s->step_dwell_s = 0.05f;
     }},
};

const Signal* FindSignal(const char* name) {
  for (const Signal& signal : kSignals) {
    if (std::string(signal.name) == name) return &signal;
  }
  return &kSignals[0];
}

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

void RenderHigh(benchmark::State& state, const Signal* signal, int32_t rate) {
  GeneratorSettings s = kGeneratorDefaults;
  signal->setup(&s);
  s.on = 1;
  PreciseRender render;
  BeginPreciseRender(&render, s, kBlockFrames, rate);
  Dither dither = {1};
  std::vector<unsigned char> bytes(4 * kBlockFrames);
  for (auto _ : state) {
    const double* block = NextPreciseBlock(&render);
    if (render.bit_pattern) {
      PackBitPattern(block, 2 * kBlockFrames, kWavS16, bytes.data());
    } else {
      PackSamples(block, 2 * kBlockFrames, kWavS16, &dither, bytes.data());
    }
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  CountFrames(state);
  EndPreciseRender(&render);
}

// One 100 ms block of the audio thread at `rate`: the zero-filled block and
// the engine's render at 16 bits (sample_bytes 0), or the precise synth's
// block quantised with dither to 2 or 3 bytes a sample.
void RenderOutputBlock(benchmark::State& state, int32_t rate, int sample_bytes) {
  const int32_t frames = rate / 10;
  GeneratorEngine* slot = CreateGenerator();
  SetGeneratorFormat(&slot, static_cast<float>(rate), 2);
  GeneratorSettings s = kGeneratorDefaults;
  s.on = 1;
  s.level_db = -1.0f;
  SetGeneratorSettings(slot, &s);
  ResetGenerator(&slot);
  PreciseVoice* voice = CreatePreciseVoice();
  std::vector<double> exact(2 * static_cast<size_t>(frames));
  std::vector<unsigned char> block(6 * static_cast<size_t>(frames));
  Dither dither = {kDitherSeed};
  for (auto _ : state) {
    std::fill(block.begin(), block.end(), 0);
    if (sample_bytes == 0) {
      RenderGenerator(&slot, reinterpret_cast<int16_t*>(block.data()),
                      static_cast<uint32_t>(4 * frames));
    } else {
      RenderPreciseGenerator(&slot, voice, exact.data(), frames);
      QuantisePcm(exact.data(), exact.size(), sample_bytes, &dither, block.data());
    }
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  state.counters["frames_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
  FreePreciseVoice(voice);
  ReleaseGenerator(&slot);
}

// Keeps the console table and remembers each signal's median rate over the
// repetitions for the summary (a single run is at the mercy of the machine).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::vector<std::pair<std::string, double>> rates;  // frames a second, by benchmark
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
      auto it = run.counters.find("frames_per_second");
      if (it != run.counters.end())
        rates.emplace_back(run.run_name.function_name, it->second.value);
    }
  }
};

// The sample rate of each benchmark but the engine's signals (44,100 Hz).
std::map<std::string, int32_t> g_rate_of;

// Every benchmark: a median of five runs (a single run is at the mercy of the machine).
void Repeat(benchmark::internal::Benchmark* benchmark) {
  benchmark->MinTime(0.3)->Repetitions(5)->ReportAggregatesOnly(true);
}

}  // namespace

int main(int argc, char** argv) {
  for (const Signal& signal : kSignals) {
    Repeat(benchmark::RegisterBenchmark(signal.name, RenderSignal, &signal));
  }
  const struct {
    const char* name;
    const char* signal;
    int32_t rate;
  } kHigh[] = {{"high_sine", "sine", 44100},
               {"high_sine_192k", "sine", 192000},
               {"high_white", "white", 44100},
               {"high_brown", "brown", 44100},
               {"high_linear_sweep", "linear_sweep", 44100},
               {"high_smpte", "smpte", 44100},
               {"high_burst", "burst", 44100},
               {"high_jtest", "jtest", 44100},
               {"high_alias_free_square", "alias_free_square", 44100},
               {"high_alias_free_saw_50hz", "alias_free_saw_50hz", 44100},
               {"high_alias_free_sweep", "alias_free_sweep", 44100},
               {"high_alias_free_saw_20hz_90deg_192k", "alias_free_saw_20hz_90deg", 192000},
               {"high_periodic_white", "periodic_white", 44100},
               {"high_periodic_pink", "periodic_pink", 44100},
               {"high_mls", "mls", 44100},
               {"high_synchronised_sweep", "synchronised_sweep", 44100},
               {"high_stepped_sweep", "stepped_sweep", 44100}};
  for (const auto& high : kHigh) {
    Repeat(benchmark::RegisterBenchmark(high.name, RenderHigh, FindSignal(high.signal), high.rate));
    g_rate_of[high.name] = high.rate;
  }
  const struct {
    const char* name;
    int32_t rate;
    int sample_bytes;
  } kOutputs[] = {{"output_44k1_16bit", 44100, 0},
                  {"output_48k_16bit_high_precision", 48000, 2},
                  {"output_96k_24bit_high_precision", 96000, 3},
                  {"output_192k_24bit_high_precision", 192000, 3}};
  for (const auto& output : kOutputs) {
    Repeat(benchmark::RegisterBenchmark(output.name, RenderOutputBlock, output.rate,
                                        output.sample_bytes));
    g_rate_of[output.name] = output.rate;
  }
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  std::printf("\n");
  for (const auto& [name, rate] : reporter.rates) {
    const auto known = g_rate_of.find(name);
    const double sample_rate = known != g_rate_of.end() ? known->second : 44100.0;
    std::printf("bench %s frames_per_second=%.0f realtime_factor=%.1f\n", name.c_str(), rate,
                rate / sample_rate);
  }
  benchmark::Shutdown();
  return 0;
}
