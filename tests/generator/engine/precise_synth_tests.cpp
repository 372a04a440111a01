// Precise synth and WAV output tests: render, quantise, read back and measure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "generator/engine/pink_noise_table.h"
#include "generator/engine/precise_synth.h"
#include "generator/files/offline_render.h"
#include "generator/files/set_file_format.h"
#include "generator/files/wav_file.h"
#include "generator/panel/panel_parameters.h"
#include "tests/generator/signal_measure.h"

namespace {

// The program's block at 44.1 kHz and its default latency of 100 ms.
constexpr int32_t kBlockFrames = 4408;

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kFullScale[] = {32767.0, 8388607.0, 1.0};  // by WavSampleFormat

// The stereo samples of a block of bytes, at full scale 1.0.
std::vector<double> Unpack(const unsigned char* b, size_t samples, WavSampleFormat format) {
  std::vector<double> x(samples);
  for (size_t i = 0; i < samples; ++i) {
    if (format == kWavF32) {
      float f;
      std::memcpy(&f, b + 4 * i, 4);
      x[i] = f;
    } else if (format == kWavS24) {
      x[i] = static_cast<int32_t>(
                 static_cast<uint32_t>(b[3 * i] | b[3 * i + 1] << 8 | b[3 * i + 2] << 16) << 8) /
             256;
    } else {
      x[i] = static_cast<int16_t>(b[2 * i] | b[2 * i + 1] << 8);
    }
    x[i] /= kFullScale[format];
  }
  return x;
}

// `frames` stereo frames of `s` at full scale 1.0: the engine's 16 bits, or
// the precise synth's doubles, quantised when `format` is given.
std::vector<double> Render(GeneratorSettings s, size_t frames, bool precise, int format = -1,
                           int rate = kRate) {
  s.on = 1;
  std::vector<double> out;
  if (!precise) {
    OfflineRender r;
    EXPECT_EQ(BeginOfflineRender(&r, s, kBlockFrames, rate), 1);
    while (out.size() < 2 * frames) {
      const int16_t* block = NextOfflineBlock(&r);
      for (int i = 0; i < 2 * kBlockFrames; ++i) out.push_back(block[i] / 32767.0);
    }
    EndOfflineRender(&r);
    out.resize(2 * frames);
    return out;
  }
  PreciseRender r;
  EXPECT_EQ(BeginPreciseRender(&r, s, kBlockFrames, rate), 1);
  Dither d = {7};
  std::vector<unsigned char> bytes(16 * kBlockFrames);
  while (out.size() < 2 * frames) {
    const double* block = NextPreciseBlock(&r);
    if (format < 0) {
      out.insert(out.end(), block, block + 2 * kBlockFrames);
      continue;
    }
    const auto f = static_cast<WavSampleFormat>(format);
    PackSamples(block, 2 * kBlockFrames, f, &d, bytes.data());
    const std::vector<double> x = Unpack(bytes.data(), 2 * kBlockFrames, f);
    out.insert(out.end(), x.begin(), x.end());
  }
  EndPreciseRender(&r);
  out.resize(2 * frames);
  return out;
}

std::vector<double> Left(const std::vector<double>& stereo) {
  std::vector<double> x(stereo.size() / 2);
  for (size_t i = 0; i < x.size(); ++i) x[i] = stereo[2 * i];
  return x;
}

TEST(PreciseSynth, OneKilohertzAtMinusOneDbfsReachesItsFigures) {
  struct Row {
    bool precise;
    int format;
    double thd_n_below, thd_n_above, frequency_error;
  };
  const Row rows[] = {
      {false, kWavS16, -84.0, -88.0, 1e-6},  // the program's output: about -86 dB
      {true, kWavS16, -92.0, -93.0, 1e-9},   // TPDF ±1 LSB allows -92.3 dB
      {true, kWavS24, -135.0, -145.0, 1e-9},
      {true, kWavF32, -140.0, -170.0, 1e-9},
  };
  GeneratorSettings s = kGeneratorDefaults;
  s.level_db = -1.0f;
  for (const Row& row : rows) {
    const auto left = Left(Render(s, kRate * 3 / 4, row.precise, row.format));
    const SineFit fit = FitSine(Slice(left, kRate / 4, kRate / 2), 1000.0);  // past the ramp
    SCOPED_TRACE(testing::Message() << (row.precise ? "high " : "live ") << row.format);
    EXPECT_LT(fit.thd_n_db, row.thd_n_below);
    EXPECT_GT(fit.thd_n_db, row.thd_n_above);
    EXPECT_LT(std::fabs(fit.hz / 1000.0 - 1.0), row.frequency_error);
    EXPECT_NEAR(20 * std::log10(fit.amplitude), -1.0, 0.002);
  }
}

// The three formats through the program, each at another rate: header
// fields and samples read back.
TEST(GenRender, HeaderAndSamplesOfEachFormat) {
  const char* names[] = {"s16", "s24", "f32"};
  const uint32_t rates[] = {44100, 96000, 192000};
  for (int format = kWavS16; format <= kWavF32; ++format) {
    SCOPED_TRACE(names[format]);
    const uint32_t rate = rates[format];
    GeneratorSettings s = kGeneratorDefaults;
    s.level_db = 0.0f;  // a level of exactly 1.0 once the first 512 frames have ramped
    s.frequency_hz = static_cast<float>(rate) / 100;  // 100 frames a cycle
    s.phase_deg = 90.0f;
    const std::string set = testing::TempDir() + "precise.def",
                      wav = testing::TempDir() + "precise.wav";
    std::ofstream(set, std::ios::binary)
        .write(kSetFileIdentification, kSetFileHeaderBytes)
        .write(reinterpret_cast<const char*>(&s), sizeof s);
    const std::string command = std::string(QX_GENRENDER) +
                                " --quality=high --dither none -d 0.1 -s " + set + " --format " +
                                names[format] + " --rate " + std::to_string(rate) + " -o " + wav;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(wav, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
    auto at = [&](size_t i, int n) {
      uint32_t v = 0;
      while (n--) v = v << 8 | b[i + n];
      return v;
    };
    const uint32_t align = format == kWavS16 ? 4 : format == kWavS24 ? 6 : 8;
    const size_t data = format == kWavF32 ? 58 : 44;
    const uint32_t frames = rate / 10;
    ASSERT_EQ(b.size(), data + frames * align);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4) + std::string(b.begin() + 8, b.begin() + 16),
              "RIFFWAVEfmt ");
    EXPECT_EQ(at(4, 4), b.size() - 8);
    EXPECT_EQ(at(16, 4), format == kWavF32 ? 18u : 16u);
    EXPECT_EQ(at(20, 2), format == kWavF32 ? 3u : 1u);
    EXPECT_EQ(at(22, 2), 2u);
    EXPECT_EQ(at(24, 4), rate);
    EXPECT_EQ(at(28, 4), rate * align);
    EXPECT_EQ(at(32, 2), align);
    EXPECT_EQ(at(34, 2), align * 4);
    if (format == kWavF32) {
      EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42) + std::to_string(at(46, 4)),
                "fact" + std::to_string(frames));
    }
    EXPECT_EQ(std::string(b.begin() + static_cast<long>(data) - 8,
                          b.begin() + static_cast<long>(data) - 4),
              "data");
    EXPECT_EQ(at(data - 4, 4), frames * align);
    const auto x = Unpack(b.data() + data, 2 * frames, static_cast<WavSampleFormat>(format));
    const double fs = kFullScale[format], error = format == kWavF32 ? 1e-7 : 0;
    auto level = [&](double v) { return format == kWavF32 ? v : std::round(v * fs) / fs; };
    for (int n : {1000, 1010, 1025, 1050, 1075, 1234}) {
      EXPECT_NEAR(x[2 * n], level(std::sin(2 * kPi * n / 100)), error) << n;
      EXPECT_NEAR(x[2 * n + 1], level(std::cos(2 * kPi * n / 100)), error) << n;
    }
  }
}

// A damaged set file (a tone at -10 dB with values no panel shows) renders,
// in the live quality, exactly what Generator plays once it has loaded it:
// the same rule brings it into the panel's ranges.
TEST(GenRender, ADamagedSetFileRendersAsGeneratorPlaysIt) {
  GeneratorSettings damaged = kGeneratorDefaults;
  damaged.frequency_hz = -440.0f;
  damaged.pan = 1e30f;
  damaged.dc_offset = std::numeric_limits<float>::infinity();
  damaged.gate = 2;
  const std::string set = testing::TempDir() + "damaged.def",
                    wav = testing::TempDir() + "damaged.wav";
  std::ofstream(set, std::ios::binary)
      .write(kSetFileIdentification, kSetFileHeaderBytes)
      .write(reinterpret_cast<const char*>(&damaged), sizeof damaged);
  const std::string command = std::string(QX_GENRENDER) + " -d 0.2 -s " + set + " -o " + wav;
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(wav, std::ios::binary);
  const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
  const size_t frames = 8820;
  ASSERT_EQ(b.size(), 44 + 4 * frames);

  GeneratorSettings loaded = damaged;  // as LoadCurrentSet takes it
  loaded.on = 0;
  KeepSettingsShowable(&loaded);
  EXPECT_EQ(loaded.gate, 1);
  const std::vector<double> expected = Render(loaded, frames, false);
  const std::vector<double> got = Unpack(b.data() + 44, 2 * frames, kWavS16);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i] * 32767.0, expected[i] * 32767.0) << i;
  double peak = 0;
  for (double v : got) peak = std::max(peak, std::fabs(v));
  EXPECT_LT(peak, 0.5);  // never the full scale a raw pan of 1e30 gives
}

// One-shots and gates fall on the engine's frames, at 44.1, 96 and 192 kHz,
// and a one-shot's seconds follow the rate: on a constant signal
// (a square wave at 0 Hz) the two renders differ by less than the engine's
// truncation on every frame, fades and silences included.
TEST(PreciseSynth, TimingEqualsTheEngineToTheFrame) {
  GeneratorSettings base = kGeneratorDefaults;
  base.waveform = kWaveSquare;
  base.frequency_hz = 0.0f;
  const std::vector<void (*)(GeneratorSettings*)> cases = {
      [](GeneratorSettings* s) { s->one_shot = 1; },  // 0.05 s
      [](GeneratorSettings* s) { s->one_shot = 1, s->duration_s = 0.0f; },
      [](GeneratorSettings* s) { s->gate = 1, s->gate_on_s = 0.1f, s->gate_off_s = 0.05f; },
      [](GeneratorSettings* s) { s->one_shot = 1, s->gate = 1, s->gate_on_s = 0.02f; },
  };
  for (int rate : {44100, 96000, 192000}) {
    for (size_t c = 0; c < cases.size(); ++c) {
      GeneratorSettings s = base;
      cases[c](&s);
      const size_t frames = static_cast<size_t>(rate / 2);
      const auto engine = Render(s, frames, false, -1, rate);
      const auto precise = Render(s, frames, true, -1, rate);
      int sounding = 0;
      for (size_t i = 0; i < engine.size(); ++i) {
        ASSERT_NEAR(engine[i] * 32767, precise[i] * 32767 * (32767 / 32768.0), 1.01)
            << rate << " " << c << " " << i / 2;
        sounding += engine[i] != 0;
      }
      EXPECT_GT(sounding, 1000) << c;
      if (c == 0) {         // 0.05 s in frames of this rate; the frame that reaches it still sounds
        size_t fade = 600;  // past the level ramp
        while (engine[2 * fade] >= engine[1200] * 0.995) ++fade;
        EXPECT_EQ(fade, static_cast<size_t>(static_cast<double>(0.05f) * rate) + 1) << rate;
      }
    }
  }
}

// Live, the precise voice follows settings changed between blocks on the
// block the engine takes them, from where it is: a gate, a level, a new
// frequency and the switch-off land on the same frames as in the engine, and
// the sine goes on without a jump in phase.
TEST(PreciseSynth, LiveRenderFollowsChangesOnTheEnginesBlocks) {
  constexpr int kRateHere = 48000, kBlock = 480;
  GeneratorEngine* live = CreateGenerator();
  GeneratorEngine* high = CreateGenerator();
  PreciseVoice* voice = CreatePreciseVoice();
  ASSERT_TRUE(live && high && voice);
  ASSERT_EQ(SetGeneratorFormat(&live, kRateHere, 2), 1);
  ASSERT_EQ(SetGeneratorFormat(&high, kRateHere, 2), 1);
  GeneratorSettings s = kGeneratorDefaults;
  s.on = 1;
  for (GeneratorEngine* e : {live, high}) {
    SetGeneratorSettings(e, &s);
    ResetGenerator(&e);
  }
  std::vector<int16_t> pcm(2 * kBlock);
  std::vector<double> exact(2 * kBlock);
  double worst = 0.0;
  int sounding = 0;
  for (int block = 0; block < 120; ++block) {
    if (block == 10) s.gate = 1, s.gate_on_s = 0.1f, s.gate_off_s = 0.05f;
    if (block == 40) s.level_db = -20.0f;
    if (block == 60) s.frequency_hz = 1234.5f;
    if (block == 90) s.on = 0;
    if (block == 10 || block == 40 || block == 60 || block == 90) {
      SetGeneratorSettings(live, &s);
      SetGeneratorSettings(high, &s);
    }
    std::fill(pcm.begin(), pcm.end(), 0);
    RenderGenerator(&live, pcm.data(), static_cast<uint32_t>(pcm.size() * 2));
    RenderPreciseGenerator(&high, voice, exact.data(), kBlock);
    for (size_t i = 0; i < pcm.size(); ++i) {
      worst = std::max(worst, std::fabs(pcm[i] / 32767.0 - exact[i]));
      sounding += pcm[i] != 0;
    }
  }
  // The engine's table and float phase stay within 0.2 % of full scale here;
  // a phase that started over or a gate a frame apart would not.
  EXPECT_LT(worst, 0.002);
  EXPECT_GT(sounding, 50000);
  EXPECT_EQ(IsGeneratorActive(high), 0);
  FreePreciseVoice(voice);
  DestroyGenerator(&live);
  DestroyGenerator(&high);
}

TEST(PreciseSynth, SingleSweepEndsAtItsEndFrequencyOnTime) {
  for (int down : {0, 1}) {
    GeneratorSettings s = kGeneratorDefaults;  // 20 Hz to 15 kHz in 1 s
    s.level_db = 0.0f;
    s.sweep_flags = kSweepOn | (down ? kSweepDownward : 0);
    s.waveform = kWaveSquare;  // full scale until the fade
    const auto square = Left(Render(s, 45000, true));
    size_t fade = 600;
    while (std::fabs(square[fade]) == 1.0) ++fade;
    EXPECT_EQ(fade, 44099u) << down;  // 44,100 frames of sweep, the last one already fading
    if (down) continue;
    s.waveform = kWaveSine;
    const auto sine = Left(Render(s, 45000, true));
    // The 63 increments before the fade, centred 34 frames before the end;
    // one frame is 2.25 Hz there.
    const double hz = FitSine(Slice(sine, fade - 64, 64), 15000).hz;
    EXPECT_NEAR(hz, 15000 * std::pow(750.0, -34.0 / kRate), 1.0);
  }
}

TEST(PreciseSynth, PinkIsTheTableAndTheMultiToneHasItsTones) {
  GeneratorSettings s = kGeneratorDefaults;
  s.level_db = 0.0f;
  s.source = kSourceNoise;
  s.noise_type = kNoisePinkStereo;
  const auto pink = Render(s, 2 * kRate, true);
  for (int i : {0, 123, 44099}) {
    EXPECT_EQ(pink[2 * (kRate + i)], kPinkNoiseTable[2 * i] / 32768.0);
    EXPECT_EQ(pink[2 * (kRate + i) + 1], kPinkNoiseTable[2 * i + 1] / 32768.0);
  }
  s.noise_type = kNoiseMultiTone;
  const auto left = Slice(Left(Render(s, 2 * kRate, true)), kRate, kRate);
  double f = 25600;
  for (int k = 1; k <= 31; ++k) {
    f *= 0.7937005259840998;
    const double tone = 10 * std::log10(HannTonePower(left, f));
    EXPECT_NEAR(tone, 10 * std::log10(0.25 * 0.057363853 * 0.057363853), 0.05) << f;
    if (f > 400) {
      EXPECT_LT(10 * std::log10(HannTonePower(left, f * 1.12)), tone - 100) << f;
    }
  }
}

// TPDF: the error of quantising a constant has mean 0 and variance 1/4 LSB²
// (1/6 from the dither, 1/12 from rounding), and stays within ±1.5 LSB.
TEST(WavFile, TpdfDitherStatisticsAndLimits) {
  for (int format : {kWavS16, kWavS24}) {
    const auto f = static_cast<WavSampleFormat>(format);
    const double fs = kFullScale[format];
    std::vector<double> in(200000, 0.3 / fs);
    std::vector<unsigned char> out(in.size() * 3);
    Dither d = {12345};
    PackSamples(in.data(), in.size(), f, &d, out.data());
    double sum = 0, squares = 0, worst = 0;
    for (double v : Unpack(out.data(), in.size(), f)) {
      const double e = v * fs - 0.3;
      sum += e;
      squares += e * e;
      worst = std::max(worst, std::fabs(e));
    }
    const double mean = sum / in.size();
    EXPECT_NEAR(mean, 0.0, 0.005) << format;
    EXPECT_NEAR(squares / in.size() - mean * mean, 0.25, 0.005) << format;
    EXPECT_LT(worst, 1.5) << format;
    PackSamples(in.data(), 1, f, nullptr, out.data());
    EXPECT_EQ(Unpack(out.data(), 1, f)[0], 0.0);   // undithered: rounded
    const std::vector<double> silence(1000, 0.0);  // stays digital silence
    PackSamples(silence.data(), silence.size(), f, &d, out.data());
    EXPECT_EQ(Unpack(out.data(), silence.size(), f), silence);
  }
  const double edge[] = {0.0, NAN, 2.0, -2.0, -INFINITY};
  const double expected[] = {0.0, 0.0, 1.0, -1.0, -1.0};  // silence stays silent, never -32768
  std::vector<unsigned char> out(sizeof edge / sizeof edge[0] * 4);
  for (int format = kWavS16; format <= kWavF32; ++format) {
    Dither d = {1};
    PackSamples(edge, 5, static_cast<WavSampleFormat>(format), format == kWavF32 ? nullptr : &d,
                out.data());
    EXPECT_EQ(Unpack(out.data(), 5, static_cast<WavSampleFormat>(format)),
              std::vector<double>(expected, expected + 5));
  }
}

// Random records, NaN and infinities included, render and quantise without
// fault under the sanitizers, and stay within full scale.
TEST(PreciseSynth, RandomRecordsRenderWithoutFault) {
  std::mt19937 rng(24);
  std::vector<unsigned char> out(8 * 700);
  for (int round = 0; round < 300; ++round) {
    GeneratorSettings s;
    uint32_t* words = reinterpret_cast<uint32_t*>(&s);
    for (size_t w = 0; w < sizeof s / 4; ++w) words[w] = rng() % 3 ? rng() : rng() % 7;
    if (round % 2)
      s.source = static_cast<int32_t>(rng() % 3), s.waveform = static_cast<int32_t>(rng() % 4);
    PreciseRender r;
    ASSERT_EQ(BeginPreciseRender(&r, s, 700), 1);
    for (int format = kWavS16; format <= kWavF32; ++format) {
      Dither d = {1};
      const double* block = NextPreciseBlock(&r);
      if (r.bit_pattern) {
        PackBitPattern(block, 1400, static_cast<WavSampleFormat>(format), out.data());
      } else {
        PackSamples(block, 1400, static_cast<WavSampleFormat>(format), &d, out.data());
      }
      for (double v : Unpack(out.data(), 1400, static_cast<WavSampleFormat>(format)))
        ASSERT_LE(std::fabs(v), 1.0);
    }
    EndPreciseRender(&r);
  }
}

// The alias-free square at 1 kHz in a tenth of a second at 44.1 kHz: every
// harmonic and every alias (all multiples of 100 Hz) falls on a 10 Hz line.
// Largest line off the harmonics, against the naive square's.
TEST(PreciseSynth, AliasFreeSquareHoldsOnlyItsHarmonics) {
  struct Row {
    bool precise, alias_free;
    double off_below, off_above;  // dB against the fundamental
  };
  const Row rows[] = {
      {true, true, -200.0, -400.0},   // measured: -249 dB
      {false, true, -105.0, -130.0},  // the 16-bit truncation's own lines: -111 dB
      {true, false, -20.0, -40.0},    // the naive square's aliases: -27 dB
      {false, false, -20.0, -40.0},
  };
  GeneratorSettings s = kGeneratorDefaults;
  s.level_db = -3.0f;  // the Gibbs overshoot stays inside full scale
  s.waveform = kWaveSquare;
  for (const Row& row : rows) {
    s.waveform_options = row.alias_free ? kAliasFree : 0;
    const auto left = Slice(Left(Render(s, kRate, row.precise)), kRate / 2, kRate / 10);
    const double fundamental = TonePower(left, 1000.0);
    double off = 0.0;
    for (int hz = 10; hz < kRate / 2; hz += 10) {
      if (hz % 1000 == 0 && (hz / 1000) % 2 == 1) continue;
      off = std::max(off, TonePower(left, hz));
    }
    SCOPED_TRACE(testing::Message() << (row.precise ? "high" : "live") << " " << row.alias_free);
    const double off_db = 10 * std::log10(off / fundamental + 1e-300);
    EXPECT_LT(off_db, row.off_below);
    EXPECT_GT(off_db, row.off_above);
    if (row.alias_free) {  // every odd harmonic below 22,050 Hz, at 1/k
      const double h21 = 10 * std::log10(TonePower(left, 21000.0) / fundamental);
      EXPECT_NEAR(h21, 20 * std::log10(1.0 / 21), row.precise ? 1e-6 : 0.05);
    }
  }
}

}  // namespace
