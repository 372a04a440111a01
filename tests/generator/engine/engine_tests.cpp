// Engine tests: render blocks into memory and measure them.
//
// A constant test signal is a square wave at 0 Hz: the phase never leaves 0,
// so every frame reads +32767 and g is 32767/32768 exactly. That makes the
// timing of ramps, fades, one-shots and gates checkable frame by frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "generator/engine/engine.h"
#include "generator/engine/engine_state.h"
#include "generator/engine/frame_timing.h"
#include "generator/engine/pink_noise_table.h"
#include "generator/engine/precise_synth.h"
#include "generator/engine/random_noise.h"
#include "tests/generator/signal_measure.h"

namespace {

constexpr int kRate = 44100;

struct Engine {
  GeneratorEngine* slot = nullptr;

  explicit Engine(int channels = 2) {
    slot = CreateGenerator();
    EXPECT_NE(slot, nullptr);
    EXPECT_EQ(SetGeneratorFormat(&slot, 44100.0f, channels), 1);
    ResetGenerator(&slot);
  }
  ~Engine() { ReleaseGenerator(&slot); }

  GeneratorSettings Get() {
    GeneratorSettings s;
    GetGeneratorSettings(slot, &s);
    return s;
  }
  void Set(const GeneratorSettings& s) { SetGeneratorSettings(slot, &s); }

  // Renders `frames` frames in blocks of `block` frames into a zeroed buffer.
  std::vector<int16_t> Render(size_t frames, size_t block = 4410, int channels = 2) {
    std::vector<int16_t> out(frames * static_cast<size_t>(channels), 0);
    for (size_t at = 0; at < frames; at += block) {
      const size_t n = std::min(block, frames - at);
      RenderGenerator(&slot, out.data() + at * static_cast<size_t>(channels),
                      static_cast<uint32_t>(n * static_cast<size_t>(channels) * 2));
    }
    return out;
  }
};

GeneratorSettings Constant(const GeneratorSettings& base) {
  GeneratorSettings s = base;
  s.source = kSourceWaveform;
  s.waveform = kWaveSquare;
  s.frequency_hz = 0.0f;
  return s;
}

// Level of the constant signal at the default -10 dB once the ramp settled.
int16_t SettledConstant(GeneratorEngine* e) {
  return static_cast<int16_t>((32767.0f / 32768.0f) * e->left_level * 32767.0f);
}

TEST(WaveTables, StartValuesAndLandmarks) {
  int16_t* t[4];
  ASSERT_EQ(BuildWaveTables(t, 44100.0f), 1);
  const int16_t* sine = t[kWaveSine];
  const int16_t* tri = t[kWaveTriangle];
  const int16_t* saw = t[kWaveSawtooth];
  const int16_t* sq = t[kWaveSquare];
  EXPECT_EQ(std::vector<int16_t>(sine, sine + 4), (std::vector<int16_t>{0, 4, 9, 14}));
  EXPECT_EQ(sine[11025], 32767);
  EXPECT_EQ(sine[22050], 0);
  EXPECT_EQ(sine[33075], -32767);
  EXPECT_EQ(std::vector<int16_t>(tri, tri + 4), (std::vector<int16_t>{0, 2, 5, 8}));
  EXPECT_EQ(*std::max_element(tri + 11020, tri + 11030), 32767);
  EXPECT_EQ(*std::min_element(tri + 33070, tri + 33080), -32767);
  EXPECT_EQ(std::vector<int16_t>(saw, saw + 4), (std::vector<int16_t>{0, 1, 2, 4}));
  EXPECT_EQ(saw[22050], 32766);
  EXPECT_EQ(saw[22051], -32767);
  EXPECT_EQ(saw[22052], -32765);
  EXPECT_EQ(sq[0], 32767);
  EXPECT_EQ(sq[22049], 32767);
  EXPECT_EQ(sq[22050], -32767);
  EXPECT_EQ(sq[44099], -32767);
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < kRate; ++i) ASSERT_NE(t[k][i], -32768) << "table " << k << " at " << i;
  }
  FreeWaveTables(t);
  EXPECT_EQ(t[0], nullptr);
  EXPECT_EQ(BuildWaveTables(t, NAN), 0);
  EXPECT_EQ(BuildWaveTables(t, 0.5f), 0);
}

TEST(Engine, DefaultsAreSilentAndReadBack) {
  Engine g;
  const GeneratorSettings s = g.Get();
  EXPECT_EQ(std::memcmp(&s, &kGeneratorDefaults, sizeof s), 0);
  EXPECT_EQ(s.on, 0);
  EXPECT_FLOAT_EQ(s.level_db, -10.0f);
  EXPECT_FLOAT_EQ(s.frequency_hz, 1000.0f);
  EXPECT_EQ(s.noise_type, kNoisePinkMono);
  const std::vector<int16_t> out = g.Render(8820);
  for (int16_t v : out) ASSERT_EQ(v, 0);
  EXPECT_EQ(IsGeneratorActive(g.slot), 0);

  GeneratorSettings changed = s;
  changed.frequency_hz = 440.0f;
  changed.reserved_37_45[0] = 0x1234;
  g.Set(changed);
  EXPECT_EQ(g.Get().reserved_37_45[0], 0x1234);  // reserved words carried along
  RestoreGeneratorDefaults(g.slot);
  const GeneratorSettings restored = g.Get();
  EXPECT_EQ(std::memcmp(&restored, &kGeneratorDefaults, sizeof restored), 0);
}

TEST(Engine, LevelRampsOverFirst512FramesAfterReset) {
  Engine g;
  GeneratorSettings s = Constant(g.Get());
  s.on = 1;
  g.Set(s);
  const std::vector<int16_t> out = g.Render(1024, 1024);
  // The naive model: the level before each frame's step, in float.
  const float target = 0.31622776f;
  float level = 0.0f;
  const float step = (g.slot->left_level - 0.0f) / 512;
  EXPECT_NEAR(g.slot->left_level, target, 1e-6);
  for (int i = 0; i < 1024; ++i) {
    const auto expected = static_cast<int16_t>((32767.0f / 32768.0f) * level * 32767.0f);
    ASSERT_EQ(out[2 * i], expected) << "frame " << i;
    ASSERT_EQ(out[2 * i + 1], expected) << "frame " << i;
    if (i < 512) level += step;
  }
  EXPECT_EQ(out[0], 0);
  EXPECT_NEAR(out[2 * 1000], 0.3162 * 32767, 2);

  // The ramp also runs while the generator is off.
  ResetGenerator(&g.slot);
  EXPECT_EQ(g.slot->current_left_level, 0.0f);
  g.Render(600, 600);
  EXPECT_NEAR(g.slot->current_left_level, target, 1e-5);
}

TEST(Engine, SineFrequencyLevelAndMono) {
  Engine g;
  GeneratorSettings s = g.Get();
  s.on = 1;
  g.Set(s);
  const std::vector<int16_t> out = g.Render(3 * kRate);
  const auto left = Slice(Channel(out, 0), kRate, 2 * kRate);
  const auto right = Slice(Channel(out, 1), kRate, 2 * kRate);
  EXPECT_NEAR(ZeroCrossingHz(left), 1000.0, 0.5);
  // -10 dB relative to a full-scale sine, whose RMS is -3.01 dBFS.
  EXPECT_NEAR(RmsDbfs(left) + 3.0103, -10.0, 0.05);
  EXPECT_EQ(left, right);

  Engine mono(1);
  mono.Set(s);
  const std::vector<int16_t> m = mono.Render(kRate, 4410, 1);
  std::vector<double> mx(m.begin() + 4410, m.end());
  EXPECT_NEAR(ZeroCrossingHz(mx), 1000.0, 1.5);
  EXPECT_NEAR(RmsDbfs(mx) + 3.0103, -10.0, 0.05);
}

TEST(Engine, BalanceAndMixInput) {
  for (float pan : {1.0f, -1.0f, 0.5f}) {
    Engine g;
    GeneratorSettings s = g.Get();
    s.on = 1;
    s.pan = pan;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(kRate);
    const auto left = Slice(Channel(out, 0), 4410, kRate - 4410);
    const auto right = Slice(Channel(out, 1), 4410, kRate - 4410);
    if (pan == 1.0f) {
      for (double v : Channel(out, 0)) ASSERT_EQ(v, 0.0);
      EXPECT_NEAR(RmsDbfs(right) + 3.0103, -10.0, 0.05);
    } else if (pan == -1.0f) {
      for (double v : Channel(out, 1)) ASSERT_EQ(v, 0.0);
      EXPECT_NEAR(RmsDbfs(left) + 3.0103, -10.0, 0.05);
    } else {
      EXPECT_NEAR(RmsDbfs(left) - RmsDbfs(right), 20 * std::log10(0.5), 0.01);
    }
  }

  // Mixing adds the buffer content; replacing ignores it.
  for (int mix : {0, 1}) {
    Engine g;
    GeneratorSettings s = Constant(g.Get());
    s.mix_input = mix;
    g.Set(s);
    std::vector<int16_t> buf(2 * 1024, 1000);
    buf[2 * 700] = 32000;
    RenderGenerator(&g.slot, buf.data(), static_cast<uint32_t>(buf.size() * 2));
    EXPECT_EQ(buf[2 * 600], mix ? 1000 : 0);
    EXPECT_EQ(buf[2 * 600 + 1], mix ? 1000 : 0);
    s.on = 1;
    g.Set(s);
    RenderGenerator(&g.slot, buf.data(), static_cast<uint32_t>(buf.size() * 2));
    const int16_t settled = SettledConstant(g.slot);
    EXPECT_EQ(buf[2 * 600], mix ? 1000 + settled : settled);
    EXPECT_EQ(buf[2 * 700], mix ? 32767 : settled);  // saturated sum
  }
}

TEST(Engine, RightChannelPhase) {
  // 441 Hz: one cycle is exactly 100 frames, a quarter cycle 25.
  Engine g;
  GeneratorSettings s = g.Get();
  s.on = 1;
  s.frequency_hz = 441.0f;
  s.phase_deg = 90.0f;
  g.Set(s);
  const std::vector<int16_t> out = g.Render(kRate);
  const auto left = Channel(out, 0);
  const auto right = Channel(out, 1);
  double worst = 0;
  for (size_t i = 1000; i < 40000; ++i) worst = std::max(worst, std::fabs(right[i] - left[i + 25]));
  EXPECT_LT(worst, 0.01 * 10361);  // right leads by a quarter cycle

  std::vector<int16_t> half[2];
  const float degrees[2] = {180.0f, -180.0f};
  for (int k = 0; k < 2; ++k) {
    Engine h;
    GeneratorSettings t = h.Get();
    t.on = 1;
    t.phase_deg = degrees[k];
    h.Set(t);
    half[k] = h.Render(kRate);
  }
  size_t differing = 0;
  for (size_t i = 0; i < half[0].size(); ++i) {
    ASSERT_LE(std::abs(half[0][i] - half[1][i]), 2) << i;  // one table step at most
    differing += half[0][i] != half[1][i];
  }
  EXPECT_LT(differing, half[0].size() / 100);
  const auto l = Channel(half[0], 0), r = Channel(half[0], 1);
  EXPECT_LT(Correlation(Slice(l, 4410, 30000), Slice(r, 4410, 30000)), -0.999);
}

TEST(Engine, SquareSaturatesAtFullScaleNeverMinus32768) {
  for (float dc : {0.5f, -0.5f}) {
    Engine g;
    GeneratorSettings s = g.Get();
    s.on = 1;
    s.waveform = kWaveSquare;
    s.level_db = 0.0f;
    s.dc_offset = dc;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(kRate);
    int at_max = 0, at_min = 0;
    for (size_t i = 2 * 600; i < out.size(); ++i) {
      ASSERT_NE(out[i], -32768);
      at_max += out[i] == 32767;
      at_min += out[i] == -32767;
    }
    if (dc > 0) {
      EXPECT_GT(at_max, 40000);
    }
    if (dc < 0) {
      EXPECT_GT(at_min, 40000);
    }
  }
}

TEST(Engine, ImpulseOneFramePerSwitchOn) {
  Engine g;
  g.Render(1024);  // settle the level ramp
  GeneratorSettings s = g.Get();
  s.source = kSourceNoise;
  s.noise_type = kNoiseImpulse;
  for (int round = 0; round < 2; ++round) {
    s.on = 1;
    g.Set(s);
    EXPECT_EQ(IsGeneratorActive(g.slot), 1);  // pending switch-on
    const std::vector<int16_t> out = g.Render(8820);
    const auto expected = static_cast<int16_t>(g.slot->left_level * 32767.0f);
    EXPECT_EQ(expected, 10361);
    EXPECT_EQ(out[0], expected);
    EXPECT_EQ(out[1], expected);
    for (size_t i = 2; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_EQ(g.Get().on, 0);
    EXPECT_EQ(IsGeneratorActive(g.slot), 0);
    s = g.Get();
  }

  Engine mono(1);
  mono.Render(1024, 1024, 1);
  GeneratorSettings m = mono.Get();
  m.source = kSourceNoise;
  m.noise_type = kNoiseImpulse;
  m.on = 1;
  mono.Set(m);
  const std::vector<int16_t> out = mono.Render(4410, 4410, 1);
  EXPECT_EQ(out[0], 10361);
  for (size_t i = 1; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_EQ(IsGeneratorActive(mono.slot), 0);
}

// Renders one frame at a time (stereo) until the engine is idle; returns the
// left channel of what it rendered.
std::vector<double> RenderUntilIdle(Engine& g, size_t limit) {
  std::vector<double> left;
  int16_t frame[2];
  while (left.size() < limit) {
    frame[0] = frame[1] = 0;
    RenderGenerator(&g.slot, frame, sizeof frame);
    left.push_back(frame[0]);
    if (IsGeneratorActive(g.slot) == 0) break;
  }
  return left;
}

// Frames of a fade (0.99 a frame) until a level v truncates to 0.
double AudibleFadeFrames(double v) { return std::ceil(std::log(1.0 / v) / std::log(0.99)); }

// Index of the last non-zero sample of a channel, or -1.
long LastSounding(const std::vector<double>& x) {
  for (size_t i = x.size(); i-- > 0;) {
    if (x[i] != 0) return static_cast<long>(i);
  }
  return -1;
}

TEST(Engine, OneShotPlays2206FramesThenFades) {
  Engine g;
  g.Render(1024);
  GeneratorSettings s = Constant(g.Get());
  s.one_shot = 1;
  s.duration_s = 0.05f;
  s.on = 1;
  g.Set(s);
  const auto left = RenderUntilIdle(g, 10000);
  const int16_t full = SettledConstant(g.slot);
  for (int i = 0; i <= 2205; ++i) ASSERT_EQ(left[i], full) << i;
  EXPECT_EQ(left[2206],
            static_cast<int16_t>((32767.0f / 32768.0f) * 0.99f * g.slot->left_level * 32767.0f));
  EXPECT_NEAR(static_cast<double>(left.size()), 2206 + 1146, 2);  // the fade takes 1,146 frames
  EXPECT_NEAR(static_cast<double>(LastSounding(left)), 2206 + AudibleFadeFrames(full) - 1, 2);
  EXPECT_EQ(g.Get().on, 0);  // the one-shot plays once per switch-on
  EXPECT_EQ(IsGeneratorActive(g.slot), 0);

  // Switching off does not cut a one-shot short.
  s.on = 1;
  g.Set(s);
  g.Render(441);
  s.on = 0;
  g.Set(s);
  const auto rest = RenderUntilIdle(g, 10000);
  EXPECT_EQ(rest[1000], full);
  EXPECT_NEAR(static_cast<double>(rest.size()), 2206 - 441 + 1146, 2);
}

// A one-shot of any duration ends: below one sample, zero, negative or NaN
// (a set file can hold any of them) it plays one sample and fades.
TEST(Engine, EveryOneShotEnds) {
  for (float duration : {0.00001f, 0.0f, -1.0f, std::nanf(""), -1e30f}) {
    Engine g;
    g.Render(1024);
    GeneratorSettings s = Constant(g.Get());
    s.one_shot = 1;
    s.duration_s = duration;
    s.on = 1;
    g.Set(s);
    const auto left = RenderUntilIdle(g, 10000);
    EXPECT_LT(left.size(), 2000u) << duration;
    EXPECT_EQ(IsGeneratorActive(g.slot), 0) << duration;
    EXPECT_EQ(left[0], SettledConstant(g.slot)) << duration;
  }
}

TEST(Engine, SwitchOffFadesOut) {
  Engine g;
  GeneratorSettings s = Constant(g.Get());
  s.on = 1;
  g.Set(s);
  g.Render(4410);
  s.on = 0;
  g.Set(s);
  EXPECT_EQ(IsGeneratorActive(g.slot), 1);
  const auto left = RenderUntilIdle(g, 10000);
  EXPECT_LT(left[0], SettledConstant(g.slot));
  EXPECT_NEAR(left[100], SettledConstant(g.slot) * std::pow(0.99, 101), 2);
  EXPECT_NEAR(static_cast<double>(left.size()), 1146, 2);
  EXPECT_EQ(IsGeneratorActive(g.slot), 0);
}

TEST(Engine, GateTimingLeftOnly) {
  Engine g;
  g.Render(1024);
  GeneratorSettings s = Constant(g.Get());
  s.gate = 1;
  s.gate_on_s = 3.0f;
  s.gate_off_s = 0.3f;
  s.on = 1;
  g.Set(s);
  const size_t total = 300000;
  const std::vector<int16_t> out = g.Render(total);
  const auto left = Channel(out, 0);
  const auto right = Channel(out, 1);
  const double full = SettledConstant(g.slot);
  for (double v : right) ASSERT_EQ(v, full);
  for (size_t i = 0; i <= 132300; ++i)
    ASSERT_EQ(left[i], full) << i;  // the first fade frame at gain 1.0
  EXPECT_LT(left[132301], full);
  size_t silent_from = 132301;
  while (left[silent_from] != 0) ++silent_from;
  EXPECT_NEAR(static_cast<double>(silent_from), 132300 + AudibleFadeFrames(full), 2);
  for (size_t i = silent_from; i < 145530; ++i) ASSERT_EQ(left[i], 0) << i;
  // The fade-in starts from 0.00001: audible after a few hundred frames.
  size_t audible_from = 145530;
  while (left[audible_from] == 0) ++audible_from;
  EXPECT_NEAR(static_cast<double>(audible_from), 145530 + 226, 10);
  size_t full_from = audible_from;
  while (left[full_from] < full) ++full_from;
  EXPECT_NEAR(static_cast<double>(full_from), 145530 + 1146, 10);
  // The next cycle: sound from the end of the fade-in, one frame shorter.
  size_t next_fade = full_from;
  while (left[next_fade] == full) ++next_fade;
  EXPECT_NEAR(static_cast<double>(next_fade - full_from), 132300, 3);
}

// Gate times without a pause, from any record, meeting a counter left near
// its limit: the blocks end, the counter keeps to its cycle, the left
// channel keeps its level.
TEST(Engine, GateWithoutAPauseKeepsItsCycle) {
  const float kTimes[][2] = {{0.1f, -0.05f}, {0.1f, -1e30f}, {0.0f, 0.0f}, {-1.0f, -1.0f}};
  for (const auto& times : kTimes) {
    Engine g;
    GeneratorSettings s = Constant(g.Get());
    s.gate = s.on = 1;
    s.gate_on_s = times[0];
    s.gate_off_s = times[1];
    g.Set(s);
    g.Render(4410);
    g.slot->gate_counter = INT32_MAX - 100;
    g.Set(s);  // any change of the settings hands the record over again
    const auto left = Channel(g.Render(kRate), 0);
    EXPECT_GE(g.slot->gate_counter, 0) << times[0] << " / " << times[1];
    EXPECT_LE(g.slot->gate_counter, g.slot->gate_period + 4096);
    const double full = SettledConstant(g.slot);
    EXPECT_LE(*std::max_element(left.begin(), left.end()), full);
    EXPECT_GT(*std::max_element(left.end() - kRate / 4, left.end()), 0.9 * full);
  }
}

TEST(Engine, SingleSweepEndsBackAndForthDoesNot) {
  Engine g;
  GeneratorSettings s = g.Get();
  s.sweep_flags = kSweepOn;
  s.on = 1;
  g.Set(s);
  const auto left = RenderUntilIdle(g, 2 * kRate);
  EXPECT_LT(ZeroCrossingHz(Slice(left, 600, 2000)), 100);
  EXPECT_NEAR(ZeroCrossingHz(Slice(left, 43000, 1000)), 13700, 1500);
  EXPECT_NEAR(static_cast<double>(left.size()), 44100 + 1146, 150);

  Engine down;
  s.sweep_flags = kSweepOn | kSweepDownward;
  down.Set(s);
  const auto dleft = RenderUntilIdle(down, 2 * kRate);
  EXPECT_NEAR(ZeroCrossingHz(Slice(dleft, 600, 1000)), 13500, 1500);
  EXPECT_NEAR(static_cast<double>(dleft.size()), 44100 + 1146, 150);

  Engine bounce;
  s.sweep_flags = kSweepOn | kSweepBackAndForth;
  bounce.Set(s);
  const auto b = Channel(bounce.Render(10 * kRate), 0);
  EXPECT_EQ(IsGeneratorActive(bounce.slot), 1);
  // Up in the first second, down in the second, up again in the third.
  EXPECT_GT(ZeroCrossingHz(Slice(b, 43000, 1000)), 10000);
  EXPECT_LT(ZeroCrossingHz(Slice(b, 86000, 2000)), 200);
  EXPECT_GT(ZeroCrossingHz(Slice(b, 131000, 1000)), 10000);
  EXPECT_NE(LastSounding(b), -1);
  EXPECT_GT(std::fabs(b.back()) + std::fabs(b[b.size() - 2]) + std::fabs(b[b.size() - 3]), 0);
}

// Longest run of equal samples in a channel.
size_t LongestConstantRun(const std::vector<double>& x) {
  size_t longest = 0, run = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    run = i > 0 && x[i] == x[i - 1] ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  return longest;
}

// A record whose start frequency lies above its end sweeps between the two
// like the ordered record, in the direction its bits say; it never settles
// into a constant (DC) output.
TEST(Engine, ReversedSweepRangeSweepsBetweenTheTwoFrequencies) {
  const int32_t flag_sets[] = {kSweepOn | kSweepBackAndForth,
                               kSweepOn | kSweepBackAndForth | kSweepDownward, kSweepOn,
                               kSweepOn | kSweepDownward};
  for (int32_t waveform = kWaveSine; waveform <= kWaveSquare; ++waveform) {
    for (int32_t flags : flag_sets) {
      SCOPED_TRACE(testing::Message() << "waveform " << waveform << " flags " << flags);
      GeneratorSettings ordered = kGeneratorDefaults;
      ordered.on = 1;
      ordered.waveform = waveform;
      ordered.sweep_flags = flags;
      GeneratorSettings reversed = ordered;
      reversed.sweep_start_hz = ordered.sweep_end_hz;
      reversed.sweep_end_hz = ordered.sweep_start_hz;
      Engine a, b;
      a.Set(ordered);
      b.Set(reversed);
      const std::vector<int16_t> expected = a.Render(4 * kRate);
      const std::vector<int16_t> got = b.Render(4 * kRate);
      EXPECT_TRUE(got == expected) << "differs from the ordered record";
      if (!(flags & kSweepBackAndForth)) continue;  // a single sweep ends in silence
      const std::vector<double> left = Channel(got, 0);
      // At most half a cycle of the lowest frequency (a square wave at 20 Hz).
      EXPECT_LE(LongestConstantRun(left), static_cast<size_t>(kRate / 20 / 2 + 2));
      double lowest = 1e9, highest = 0;
      for (size_t at = kRate / 2; at + 2205 <= left.size(); at += 2205) {
        const double hz = ZeroCrossingHz(Slice(left, at, 2205));
        lowest = std::min(lowest, hz);
        highest = std::max(highest, hz);
      }
      EXPECT_LT(lowest, 200);
      EXPECT_GT(lowest, 0);
      EXPECT_GT(highest, 10000);
      EXPECT_LT(highest, 16000);
    }
  }
}

TEST(PinkNoiseTable, MeetsItsDescription) {
  std::vector<double> left(kPinkNoiseFrames), right(kPinkNoiseFrames);
  int peak = 0;
  for (int i = 0; i < kPinkNoiseFrames; ++i) {
    left[i] = kPinkNoiseTable[2 * i];
    right[i] = kPinkNoiseTable[2 * i + 1];
    ASSERT_NE(kPinkNoiseTable[2 * i], -32768);
    ASSERT_NE(kPinkNoiseTable[2 * i + 1], -32768);
    peak = std::max({peak, std::abs(kPinkNoiseTable[2 * i]), std::abs(kPinkNoiseTable[2 * i + 1])});
  }
  EXPECT_EQ(peak, 32767);
  EXPECT_NEAR(RmsDbfs(left), -12.8, 0.3);
  EXPECT_NEAR(RmsDbfs(right), -11.2, 0.3);
  EXPECT_LT(std::fabs(Mean(left)) / 32767, 0.001);
  EXPECT_LT(std::fabs(Mean(right)) / 32767, 0.001);
  EXPECT_NEAR(Correlation(left, right), 0.16, 0.03);
  // -3 dB per octave: a bin's power times its frequency is flat in band.
  for (const auto* x : {&left, &right}) {
    double reference = 0;
    for (int hz = 40; hz <= 12800; hz *= 2) {
      double power = 0;
      for (int k = 0; k < 8; ++k) power += TonePower(*x, hz + k) * (hz + k);
      if (reference == 0) reference = power;
      EXPECT_NEAR(10 * std::log10(power / reference), 0.0, 1.0) << hz << " Hz";
    }
    EXPECT_LT(TonePower(*x, 20) * 20, reference / 8 / 1000);        // below the band
    EXPECT_LT(TonePower(*x, 18000) * 18000, reference / 8 / 1000);  // above it
  }
}

TEST(Engine, PinkNoiseRepeatsEverySecond) {
  for (int type : {kNoisePinkMono, kNoisePinkAntiPhase, kNoisePinkStereo}) {
    Engine g;
    GeneratorSettings s = g.Get();
    s.source = kSourceNoise;
    s.noise_type = type;
    s.level_db = 0.0f;
    s.on = 1;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(3 * kRate, 4408);
    for (size_t i = 2 * kRate; i < 4 * static_cast<size_t>(kRate); ++i) {
      ASSERT_EQ(out[i], out[i + 2 * kRate]) << "type " << type << " at " << i;
    }
    const auto left = Slice(Channel(out, 0), kRate, kRate);
    const auto right = Slice(Channel(out, 1), kRate, kRate);
    EXPECT_NEAR(RmsDbfs(left), -12.8, 0.3);
    // Frame k of the second second is table frame k, through 0 dB.
    EXPECT_EQ(left[123], static_cast<int16_t>(kPinkNoiseTable[246] / 32768.0f * 32767.0f));
    if (type == kNoisePinkMono) {
      EXPECT_EQ(left, right);
    }
    if (type == kNoisePinkAntiPhase) {
      EXPECT_LT(Correlation(left, right), -0.999);
    }
    if (type == kNoisePinkStereo) {
      EXPECT_NEAR(Correlation(left, right), 0.16, 0.03);
    }
  }
}

TEST(Engine, MultiToneHas31TonesAtPinkLevel) {
  Engine g;
  GeneratorSettings s = g.Get();
  s.source = kSourceNoise;
  s.noise_type = kNoiseMultiTone;
  s.level_db = 0.0f;
  s.on = 1;
  g.Set(s);
  const auto left = Slice(Channel(g.Render(2 * kRate), 0), kRate, kRate);
  EXPECT_NEAR(RmsDbfs(left), -12.9, 0.3);
  // Every tone is there at the same level; between tones there is nothing.
  double f = 25600;
  for (int k = 1; k <= 31; ++k) {
    f *= 0.7937005259840998;
    const double tone = 10 * std::log10(HannTonePower(left, f));
    EXPECT_NEAR(tone, 10 * std::log10(0.25 * std::pow(0.0573638 * 32767, 2)), 0.5) << f << " Hz";
    if (f > 100) {
      EXPECT_LT(10 * std::log10(HannTonePower(left, f * 1.12)), tone - 40) << f << " Hz";
    }
  }
}

// The left channel of `seconds` seconds of the precise synth's render of
// `s`, times `scale`.
std::vector<double> PreciseLeft(const GeneratorSettings& s, int seconds, double scale) {
  std::vector<double> left;
  PreciseRender r;
  EXPECT_EQ(BeginPreciseRender(&r, s, kRate), 1);
  for (int i = 0; i < seconds; ++i) {
    const double* block = NextPreciseBlock(&r);
    for (int f = 0; f < kRate; ++f) left.push_back(block[2 * f] * scale);
  }
  EndPreciseRender(&r);
  return left;
}

// The mean power in the third-octave band around `hz` of `x`, from
// one-second windows: the Hann power at up to 40 frequencies across the
// band, at least 2 Hz apart (so that each is a power of its own), over
// every window.
// (Relative levels only: the windows are applied once, and the plain
// Goertzel power of the windowed seconds is the Hann power times a constant.)
double BandPower(const std::vector<std::vector<double>>& windowed, double hz) {
  const double low = hz / std::pow(2.0, 1.0 / 6), high = hz * std::pow(2.0, 1.0 / 6);
  const int count = std::max(2, std::min(40, static_cast<int>((high - low) / 2.0)));
  double sum = 0.0;
  for (const std::vector<double>& second : windowed) {
    for (int k = 0; k < count; ++k) sum += TonePower(second, low + (high - low) * k / (count - 1));
  }
  return sum / (count * static_cast<double>(windowed.size()));
}

// `x` cut into one-second windows, each through a Hann window.
std::vector<std::vector<double>> HannSeconds(const std::vector<double>& x) {
  std::vector<std::vector<double>> seconds;
  for (size_t at = 0; at + kRate <= x.size(); at += kRate) {
    std::vector<double> second = Slice(x, at, kRate);
    for (int i = 0; i < kRate; ++i)
      second[i] *= 0.5 - 0.5 * std::cos(2 * 3.14159265358979323846 * i / kRate);
    seconds.push_back(second);
  }
  return seconds;
}

// White noise at 0 dB: the pink noise's RMS, the same on both channels,
// peaks inside full scale, the same power in every band; brown noise: the
// same RMS, no DC, falling 6 dB an octave above 20 Hz (genrender's test
// hears the precise synth's white noise).
TEST(Engine, WhiteAndBrownNoiseMeetTheirDefinitions) {
  const double pink_db = 20 * std::log10(PinkLeftRms() * 32767.0 / 32768.0);
  constexpr int kSeconds = 6;
  for (int noise : {kNoiseWhite, kNoiseBrown}) {
    Engine g;
    GeneratorSettings s = g.Get();
    s.source = kSourceNoise;
    s.noise_type = noise;
    s.level_db = 0.0f;
    s.on = 1;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(static_cast<size_t>(kSeconds + 1) * kRate);
    const auto left = Slice(Channel(out, 0), kRate, kSeconds * kRate);  // past the ramp
    EXPECT_EQ(Channel(out, 0), Channel(out, 1)) << noise;
    EXPECT_NEAR(RmsDbfs(left), pink_db, noise == kNoiseWhite ? 0.1 : 1.0) << noise;
    EXPECT_NEAR(Mean(left), 0.0, 0.01 * 32768) << noise;
    if (noise == kNoiseWhite) {
      double peak = 0.0;
      for (double v : left) peak = std::max(peak, std::fabs(v));
      EXPECT_LT(peak, 0.45 * 32768);
      const double kBands[] = {50.0, 100.0, 315.0, 1000.0, 3150.0, 10000.0, 16000.0, 20000.0};
      const auto seconds = HannSeconds(left);
      double levels[8], mean = 0.0;
      for (int b = 0; b < 8; ++b) {
        mean += (levels[b] = 10 * std::log10(BandPower(seconds, kBands[b]))) / 8;
      }
      for (int b = 0; b < 8; ++b) EXPECT_NEAR(levels[b], mean, 1.0) << kBands[b] << " Hz";
    } else {
      // The one-pole's slope: |H(f)|² = 1 / (1 + (f / 20 Hz)²).
      auto expected = [](double hz) { return -10 * std::log10(1 + (hz / 20) * (hz / 20)); };
      const auto seconds = HannSeconds(left);
      const double at_100 = 10 * std::log10(BandPower(seconds, 100.0));
      for (double hz : {200.0, 400.0, 1600.0, 6400.0}) {
        EXPECT_NEAR(10 * std::log10(BandPower(seconds, hz)) - at_100, expected(hz) - expected(100),
                    1.5)
            << hz << " Hz";
      }
    }
  }
}

// A linear sweep's frequency at a quarter, half and three quarters of its
// time is a quarter, half and three quarters of the way, in the engine and
// in the precise synth; the log sweep of the same ends is at the geometric
// points instead.
TEST(Engine, LinearSweepIsLinearInTime) {
  for (int flags : {static_cast<int>(kSweepOn | kSweepLinear), static_cast<int>(kSweepOn)}) {
    GeneratorSettings s = kGeneratorDefaults;
    s.sweep_flags = flags;
    s.sweep_start_hz = 100.0f;
    s.sweep_end_hz = 10100.0f;
    s.sweep_time_s = 1.0f;
    s.level_db = 0.0f;
    s.on = 1;
    Engine g;
    g.Set(s);
    const auto live = Channel(g.Render(kRate), 0);
    const std::vector<double> high = PreciseLeft(s, 1, 1.0);
    for (double at : {0.25, 0.5, 0.75}) {
      const double expected =
          flags & kSweepLinear ? 100.0 + 10000.0 * at : 100.0 * std::pow(101.0, at);
      for (const std::vector<double>* x : {&live, &high}) {
        const size_t centre = static_cast<size_t>(at * kRate);
        const SineFit fit = FitSine(Slice(*x, centre - 88, 176), expected);
        EXPECT_NEAR(fit.hz, expected, 0.005 * expected)
            << (flags & kSweepLinear ? "linear " : "log ") << at
            << (x == &live ? " live" : " high");
      }
    }
  }
}

// The twin tones at 0 dB: their two tones at their frequencies, amplitudes
// in their ratio and summing to full scale, on both channels, live and high.
TEST(Engine, TwinTonesHaveTheirTonesAndRatios) {
  const struct {
    const char* name;
    double low_hz, high_hz, ratio;
  } kTwins[] = {{"smpte", 60, 7000, 4}, {"din", 250, 8000, 4}, {"ccif", 19000, 20000, 1}};
  for (const auto& twin : kTwins) {
    GeneratorSettings s = kGeneratorDefaults;
    ASSERT_EQ(SelectNamedSignal(twin.name, &s), 1);
    s.level_db = 0.0f;
    s.on = 1;
    Engine g;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(2 * kRate);
    EXPECT_EQ(Channel(out, 0), Channel(out, 1)) << twin.name;
    const auto live = Slice(Channel(out, 0), kRate, kRate);  // past the level ramp
    const std::vector<double> high = Slice(PreciseLeft(s, 2, 32768.0), kRate, kRate);
    for (const std::vector<double>* x : {&live, &high}) {
      // A tone of amplitude A has the power A²/4 over whole cycles.
      const double low = 2 * std::sqrt(TonePower(*x, twin.low_hz)) / 32768.0;
      const double high_tone = 2 * std::sqrt(TonePower(*x, twin.high_hz)) / 32768.0;
      const char* which = x == &live ? " live" : " high";
      EXPECT_NEAR(low / high_tone, twin.ratio, 0.01 * twin.ratio) << twin.name << which;
      EXPECT_NEAR(low + high_tone, 1.0, 0.002) << twin.name << which;
      EXPECT_LT(10 * std::log10(TonePower(*x, 1000.0) / TonePower(*x, twin.high_hz)), -80)
          << twin.name << which;  // nothing between them
    }
  }
}

// The tone burst: its cycles of the sine, each burst from phase 0, then its
// cycles of silence; Hann-windowed when asked, live and high.
TEST(Engine, ToneBurstCountsItsCyclesFromPhaseZero) {
  for (int hann : {0, 1}) {
    GeneratorSettings s = kGeneratorDefaults;
    ASSERT_EQ(SelectNamedSignal("burst", &s), 1);
    s.frequency_hz = 44100.0f / 128;  // 128 frames a cycle, counted exactly
    s.burst_on_cycles = 3.0f;
    s.burst_off_cycles = 2.0f;
    s.waveform_options = hann ? kHannBurst : 0;
    s.level_db = 0.0f;
    s.on = 1;
    Engine g;
    g.Set(s);
    const auto live = Channel(g.Render(kRate), 0);
    const std::vector<double> high = PreciseLeft(s, 1, 32767.0);
    for (const std::vector<double>* x : {&live, &high}) {
      const char* which = x == &live ? " live" : " high";
      // Past the level ramp: bursts of 384 frames every 640, each a whole sine
      // from phase 0, silence between them.
      for (int burst = 2; burst < 65; burst += 7) {
        const int start = 640 * burst;
        for (int f = 0; f < 640; ++f) {
          const double t = f / 384.0;
          const double window = hann ? 0.5 - 0.5 * std::cos(2 * 3.14159265358979323846 * t) : 1;
          const double expected =
              f < 384 ? 32767.0 * window * std::sin(2 * 3.14159265358979323846 * f / 128.0) : 0.0;
          ASSERT_NEAR((*x)[start + f], expected, 40.0)
              << "burst " << burst << " frame " << f << which << " hann " << hann;
        }
      }
    }
  }
  // Cycles beyond their range play their bounds; half a cycle at the least.
  GeneratorSettings wide = kGeneratorDefaults;
  wide.burst_on_cycles = 1e9f;
  wide.burst_off_cycles = -5.0f;
  EXPECT_EQ(ToneBurstOf(wide).on_cycles, kBurstMaxOnCycles);
  EXPECT_EQ(ToneBurstOf(wide).period_cycles, kBurstMaxOnCycles);
  wide.burst_on_cycles = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ToneBurstOf(wide).on_cycles, kBurstMinOnCycles);
}

// The alias-free waveforms are the naive ones less what lies above half the
// rate: at 100 Hz (220 harmonics) the triangle's series differs from its
// shape by the tail of 1/k², the square's and sawtooth's by their Gibbs
// ripple; a wrong sign or scale of a harmonic would differ by far more.
// Live and high, at the phase offset of the right channel too; and a sweep
// of them plays the same series frame by frame as its frequency moves.
TEST(Engine, AliasFreeWaveformsAreTheirSeries) {
  const struct {
    int32_t waveform;
    double rms_below;  // of the difference, full scale 1
  } rows[] = {{kWaveTriangle, 0.001}, {kWaveSawtooth, 0.04}, {kWaveSquare, 0.06}};
  for (const auto& row : rows) {
    GeneratorSettings s = kGeneratorDefaults;
    s.level_db = -20.0f * std::log10(1.2f);  // the Gibbs overshoot, 1.18, stays unclipped
    s.frequency_hz = 100.0f;
    s.phase_deg = 90.0f;
    s.waveform = row.waveform;
    s.on = 1;
    const std::vector<double> naive = PreciseLeft(s, 1, 1.0);
    s.waveform_options = kAliasFree;
    const std::vector<double> high = PreciseLeft(s, 1, 1.0);
    Engine g;
    g.Set(s);
    const std::vector<int16_t> live = g.Render(kRate);
    double difference = 0.0, live_difference = 0.0;
    for (int f = kRate / 2; f < kRate; ++f) {  // past the level ramp
      difference += (high[f] - naive[f]) * (high[f] - naive[f]) * 1.44;
      const double d = live[2 * f] / 32767.0 - high[f];
      live_difference = std::max(live_difference, std::fabs(d));
    }
    EXPECT_LT(std::sqrt(difference / (kRate / 2)), row.rms_below) << row.waveform;
    EXPECT_LT(live_difference, 3.0 / 32767) << row.waveform;  // the 16-bit truncation
    // The right channel a quarter of a cycle on: 110.25 frames at 100 Hz.
    const std::vector<double> right = Channel(live, 1);
    EXPECT_NEAR(right[30000] / 32767.0, high[30000 + 110] * 0.75 + high[30000 + 111] * 0.25, 0.02)
        << row.waveform;
  }
  // A sweep: from 20 Hz up, the series of its frequency at each frame, so
  // that its square never holds a harmonic above half the rate; its last
  // frames near 15 kHz hold the fundamental alone, a sine.
  GeneratorSettings s = kGeneratorDefaults;
  s.level_db = 0.0f;
  s.waveform = kWaveSquare;
  s.waveform_options = kAliasFree;
  s.sweep_flags = kSweepOn;
  s.on = 1;
  const std::vector<double> sweep = PreciseLeft(s, 1, 1.0);
  double peak = 0.0;
  for (int f = 44000; f < 44090; ++f) peak = std::max(peak, std::fabs(sweep[f]));
  EXPECT_NEAR(peak, 4.0 / 3.14159265358979323846, 0.01);  // the square's fundamental
}

// The steady-state loop must give exactly what the full per-frame algorithm
// gives. Mixing into a zeroed buffer adds nothing but forces the full path.
TEST(Engine, SteadyLoopMatchesFullAlgorithm) {
  struct Case {
    const char* name;
    void (*setup)(GeneratorSettings*);
  };
  const Case cases[] = {
      {"sine 90 deg", [](GeneratorSettings* s) { s->phase_deg = 90.0f; }},
      {"triangle dc",
       [](GeneratorSettings* s) {
         s->waveform = kWaveTriangle;
         s->dc_offset = 0.2f;
       }},
      {"single sweep", [](GeneratorSettings* s) { s->sweep_flags = kSweepOn; }},
      {"bouncing sweep down",
       [](GeneratorSettings* s) {
         s->sweep_flags = kSweepOn | kSweepDownward | kSweepBackAndForth;
       }},
      {"gated saw",
       [](GeneratorSettings* s) {
         s->waveform = kWaveSawtooth;
         s->gate = 1;
         s->gate_on_s = 0.1f;
         s->gate_off_s = 0.05f;
       }},
      {"gated single sweep",
       [](GeneratorSettings* s) {
         s->sweep_flags = kSweepOn;
         s->sweep_time_s = 0.25f;  // ends inside the first sound phase
         s->gate = 1;
         s->gate_on_s = 0.3f;
         s->gate_off_s = 0.02f;
       }},
      {"pink stereo",
       [](GeneratorSettings* s) {
         s->source = kSourceNoise;
         s->noise_type = kNoisePinkStereo;
       }},
      {"multi-tone",
       [](GeneratorSettings* s) {
         s->source = kSourceNoise;
         s->noise_type = kNoiseMultiTone;
       }},
  };
  for (const Case& c : cases) {
    for (int channels : {2, 1}) {
      std::vector<int16_t> out[2];
      for (int mix : {0, 1}) {
        Engine g(channels);
        GeneratorSettings s = g.Get();
        c.setup(&s);
        s.mix_input = mix;
        s.on = 1;
        g.Set(s);
        out[mix] = g.Render(kRate, 4408, channels);
        s = g.Get();
        s.on = 0;  // and the fade after switching off
        g.Set(s);
        const std::vector<int16_t> tail = g.Render(2000, 777, channels);
        out[mix].insert(out[mix].end(), tail.begin(), tail.end());
      }
      ASSERT_EQ(out[0].size(), out[1].size());
      for (size_t i = 0; i < out[0].size(); ++i) {
        ASSERT_EQ(out[0][i], out[1][i]) << c.name << ", " << channels << " channels, sample " << i;
      }
    }
  }
}

// Unknown sources, noise types and test signals play silence, and the run
// state still runs.
TEST(Engine, UnknownSourcesSilentButRunning) {
  for (auto [source, number] :
       {std::pair<int, int>{7, 0}, {kSourceNoise, 10}, {-1, 1}, {kSourceTestSignal, 99}}) {
    Engine g;
    GeneratorSettings s = g.Get();
    s.source = source;
    s.noise_type = number;
    s.test_signal = number;
    s.on = 1;
    g.Set(s);
    for (int16_t v : g.Render(8820)) ASSERT_EQ(v, 0);
    EXPECT_EQ(IsGeneratorActive(g.slot), 1);
  }
}

TEST(Engine, BlocksBelowOneFrameAreIgnored) {
  Engine g;
  GeneratorSettings s = Constant(g.Get());
  s.on = 1;
  g.Set(s);
  int16_t tiny[2] = {1234, 5678};
  RenderGenerator(&g.slot, tiny, 3);
  EXPECT_EQ(tiny[0], 1234);
  EXPECT_EQ(tiny[1], 5678);
  EXPECT_EQ(g.slot->settings_applied, 0);  // not even the settings were taken
  EXPECT_EQ(IsGeneratorBusy(&g.slot), 0);
  Engine mono(1);
  RenderGenerator(&mono.slot, tiny, 1);
  EXPECT_EQ(tiny[0], 1234);
  RenderGenerator(&mono.slot, tiny, 2);
  EXPECT_EQ(tiny[0], 0);
  GeneratorEngine* empty = nullptr;
  RenderGenerator(&empty, tiny, 4);
  EXPECT_EQ(IsGeneratorBusy(&empty), 0);
}

TEST(Engine, ReleaseWhileBusyIsDeferredToTheRender) {
  // Deterministically: a release that finds the engine busy only marks it,
  // and the next render that runs destroys it and clears the slot.
  {
    Engine g;
    g.slot->busy = 1;
    ReleaseGenerator(&g.slot);
    ASSERT_NE(g.slot, nullptr);
    EXPECT_EQ(g.slot->destroy_requested, 1);
    int16_t block[8] = {};
    RenderGenerator(&g.slot, block, sizeof block);  // still busy: untouched
    ASSERT_NE(g.slot, nullptr);
    g.slot->busy = 0;
    RenderGenerator(&g.slot, block, sizeof block);
    EXPECT_EQ(g.slot, nullptr);
  }
  // For real: a release during a long render on another thread. The render
  // finishes its block and then destroys the engine (ASan would see a use
  // after free if the release had destroyed it under the render's feet).
  GeneratorEngine* slot = CreateGenerator();
  ASSERT_EQ(SetGeneratorFormat(&slot, 44100.0f, 2), 1);
  ResetGenerator(&slot);
  GeneratorSettings s;
  GetGeneratorSettings(slot, &s);
  s.source = kSourceNoise;
  s.noise_type = kNoiseMultiTone;
  s.on = 1;
  SetGeneratorSettings(slot, &s);
  std::vector<int16_t> big(2 * 60 * kRate);
  std::thread render(
      [&] { RenderGenerator(&slot, big.data(), static_cast<uint32_t>(big.size() * 2)); });
  while (IsGeneratorBusy(&slot) == 0) std::this_thread::yield();
  ReleaseGenerator(&slot);
  render.join();
  EXPECT_EQ(slot, nullptr);
  EXPECT_NE(big[2 * (60 * kRate - 1)], 0);
}

// Random records, NaN and infinities included, must render without fault:
// the sanitizers of the native build watch every conversion and division.
TEST(Engine, RandomRecordsRenderWithoutFault) {
  std::mt19937 rng(20261207);
  const float specials[] = {NAN,    INFINITY, -INFINITY, 0.0f,  -0.0f, 1e30f, -1e30f, 3e38f,
                            1e-40f, 44100.0f, 88200.0f,  -1.0f, 0.5f,  1.0f,  2.0f};
  auto random_float = [&]() -> float {
    switch (rng() % 4) {
      case 0: return specials[rng() % (sizeof specials / sizeof specials[0])];
      case 1: {
        uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
      }
      case 2: return std::uniform_real_distribution<float>(-100, 100)(rng);
      default: return std::uniform_real_distribution<float>(-30000, 30000)(rng);
    }
  };
  auto random_int = [&]() -> int32_t {
    switch (rng() % 3) {
      case 0: return static_cast<int32_t>(rng() % 8) - 1;  // every source, noise and test signal
      case 1: return static_cast<int32_t>(rng() & 0x303);  // the sweep's and options' bits
      default: return static_cast<int32_t>(rng());
    }
  };
  for (int channels : {2, 1}) {
    Engine g(channels);
    std::vector<int16_t> buf(2 * 700);
    for (int round = 0; round < 3000; ++round) {
      GeneratorSettings s;
      int32_t* words = reinterpret_cast<int32_t*>(&s);
      for (int w = 0; w < 46; ++w) words[w] = random_int();
      s.duration_s = random_float();
      s.level_db = random_float();
      s.gain_db = random_float();
      s.frequency_hz = random_float();
      s.phase_deg = random_float();
      s.dc_offset = random_float();
      s.sweep_start_hz = random_float();
      s.sweep_end_hz = random_float();
      s.sweep_time_s = random_float();
      s.pan = random_float();
      s.gate_on_s = random_float();
      s.gate_off_s = random_float();
      if (rng() % 2) s.source = static_cast<int32_t>(rng() % 2);
      if (rng() % 2) s.noise_type = static_cast<int32_t>(rng() % 5);
      if (rng() % 2) s.waveform = static_cast<int32_t>(rng() % 4);
      g.Set(s);
      for (int block = 0; block < 3; ++block) {
        for (auto& v : buf) v = static_cast<int16_t>(rng());
        const uint32_t bytes = static_cast<uint32_t>(rng() % (buf.size() * 2 + 1));
        RenderGenerator(&g.slot, buf.data(), bytes);
        const size_t rendered = channels == 2 ? bytes / 4 * 2 : bytes / 2;
        for (size_t i = 0; i < rendered; ++i) ASSERT_NE(buf[i], -32768);
      }
      if (round % 500 == 0) ResetGenerator(&g.slot);
    }
    // Sane settings afterwards still give the documented signal.
    RestoreGeneratorDefaults(g.slot);
    GeneratorSettings s = g.Get();
    s.on = 1;
    g.Set(s);
    const std::vector<int16_t> out = g.Render(kRate, 4410, channels);
    std::vector<double> x(out.begin() + static_cast<long>(out.size() / 2), out.end());
    if (channels == 2) x = Channel(std::vector<int16_t>(out.begin() + kRate, out.end()), 0);
    EXPECT_NEAR(ZeroCrossingHz(x), 1000.0, 2.0);
  }
}

}  // namespace
