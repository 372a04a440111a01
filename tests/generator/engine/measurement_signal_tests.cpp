// The measurement signals as genrender writes them: its high quality in
// float and its live 16 bits (the program's own, bit for bit), each held to
// its definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generator/engine/engine_state.h"
#include "generator/engine/periodic_noise.h"
#include "generator/engine/random_noise.h"
#include "generator/panel/panel_parameters.h"
#include "tests/generator/signal_measure.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRampFrames = 512;  // the level's ramp after a start

struct Rendered {
  std::vector<double> left, right;  // full scale 1.0
  int rate = 0;
};

// genrender's render of `arguments` at `rate`: float in the high quality,
// 16 bits in the live one.
Rendered Genrender(const std::string& arguments, bool high, int rate, double seconds) {
  const std::string wav = testing::TempDir() + "measurement.wav";
  const std::string command =
      std::string(QX_GENRENDER) + " " + arguments + (high ? " --quality high --format f32" : "") +
      " --rate " + std::to_string(rate) + " -d " + std::to_string(seconds) + " -o " + wav;
  Rendered r;
  if (std::system(command.c_str()) != 0) return r;
  std::ifstream in(wav, std::ios::binary);
  const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
  const size_t data = high ? 58 : 44, bytes = high ? 4 : 2;
  r.rate = rate;
  for (size_t at = data; at + 2 * bytes <= b.size(); at += 2 * bytes) {
    for (int channel = 0; channel < 2; ++channel) {
      const unsigned char* p = b.data() + at + channel * bytes;
      double v = 0.0;
      if (high) {
        float f;
        std::memcpy(&f, p, 4);
        v = f;
      } else {
        v = static_cast<int16_t>(p[0] | p[1] << 8) / 32767.0;
      }
      (channel == 0 ? r.left : r.right).push_back(v);
    }
  }
  return r;
}

constexpr double kLevel = 0.31622776601683794;  // the defaults' -10 dB

// Periodic noise: a period repeats sample for sample (float and 16 bits),
// and one period's DFT holds every bin at its magnitude: within 0.01 dB,
// flat for white, -3.01 dB an octave for pink in its band, nothing outside;
// its RMS is the white noise's, its peak inside full scale.
TEST(MeasurementSignals, PeriodicNoiseRepeatsWithEveryBinAtItsMagnitude) {
  const struct {
    const char* name;
    int32_t shape, order, rate;
  } rows[] = {{"periodic-white", kPeriodicWhite, 12, 44100},
              {"periodic-pink", kPeriodicPink, 12, 48000},
              {"periodic-pink", kPeriodicPink, 16, 44100}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.name << " N=" << row.order << " at " << row.rate);
    const int32_t m = 1 << row.order;
    const double seconds = (3.0 * m + 100) / row.rate;
    const std::string args =
        std::string("--signal ") + row.name + " --order " + std::to_string(row.order);
    for (bool high : {true, false}) {
      const Rendered r = Genrender(args, high, row.rate, seconds);
      ASSERT_GE(r.left.size(), 3.0 * m);
      const size_t first = static_cast<size_t>(m);  // past the ramp
      for (int32_t n = 0; n < m; ++n) {
        ASSERT_EQ(r.left[first + n], r.left[first + m + n]) << n;
        ASSERT_EQ(r.left[first + n], r.right[first + n]) << n;
      }
      if (!high) continue;
      // One period, aligned to the period's own start: any m consecutive
      // samples of a periodic signal have the same DFT magnitudes.
      std::vector<double> re(r.left.begin() + static_cast<long>(first),
                             r.left.begin() + static_cast<long>(first + m));
      std::vector<double> im(m, 0.0);
      double power = 0.0, peak = 0.0;
      for (double v : re) {
        power += v * v;
        peak = std::max(peak, std::fabs(v));
      }
      const double rms_db = 10 * std::log10(power / m / (kLevel * kLevel));
      EXPECT_NEAR(rms_db, 20 * std::log10(WhiteNoiseScale() / std::sqrt(3.0)), 0.01);
      EXPECT_LE(peak, kLevel);  // at 0 dB inside full scale (kPeriodicPeak)
      Fft(re.data(), im.data(), row.order, false);
      double wanted_power = 0.0;
      for (int32_t k = 1; k < m / 2; ++k) {
        const double a = PeriodicBinMagnitude(row.shape, row.order, row.rate, k);
        wanted_power += a * a;
      }
      const double scale = std::sqrt(power / 2.0 * m / wanted_power);
      double worst_db = 0.0, outside = 0.0;
      for (int32_t k = 0; k <= m / 2; ++k) {
        const double got = std::hypot(re[k], im[k]);
        const double wanted = scale * PeriodicBinMagnitude(row.shape, row.order, row.rate, k);
        if (wanted > 0.0) {
          worst_db = std::max(worst_db, std::fabs(20 * std::log10(got / wanted)));
        } else {
          outside = std::max(outside, got / scale);
        }
      }
      EXPECT_LT(worst_db, 0.01);
      EXPECT_LT(outside, 1e-4);  // the float's own noise, 80 dB down
    }
  }
}

// The MLS: every order's register runs through all 2^N - 1 states; one
// period of the render is ±level, and its circular autocorrelation is
// 2^N - 1 at lag 0 and -1 at every other lag, exactly.
TEST(MeasurementSignals, MlsIsMaximalAndItsAutocorrelationExact) {
  for (int32_t order = kMinSequenceOrder; order <= kMaxSequenceOrder; ++order) {
    MlsState mls;
    RestartMls(&mls, order);
    const uint32_t start = mls.reg;
    int64_t period = 0;
    do {
      NextMls(&mls);
      ++period;
    } while (mls.reg != start && period <= (int64_t{1} << order));
    EXPECT_EQ(period, (int64_t{1} << order) - 1) << order;
  }
  const int32_t length = (1 << 12) - 1;
  for (bool high : {true, false}) {
    const Rendered r = Genrender("--signal mls --order 12", high, 44100, 0.25);
    ASSERT_GE(r.left.size(), kRampFrames + length);
    const size_t first = static_cast<size_t>(kRampFrames);
    std::vector<int> bits(length);
    const double magnitude = std::fabs(r.left[first]);
    for (int32_t n = 0; n < length; ++n) {
      ASSERT_EQ(std::fabs(r.left[first + n]), magnitude) << n;
      ASSERT_EQ(r.right[first + n], r.left[first + n]) << n;
      bits[n] = r.left[first + n] > 0 ? 1 : -1;
    }
    for (int32_t lag = 0; lag < length; ++lag) {
      int64_t sum = 0;
      for (int32_t n = 0; n < length; ++n) sum += bits[n] * bits[(n + lag) % length];
      ASSERT_EQ(sum, lag == 0 ? length : -1) << lag;
    }
  }
}

// The synchronised sweep (the defaults' 20 Hz to 15 kHz in 1 s: L = 0.15 s,
// f1·L = 3) is sin(2π·f1·L·(exp(t/L) - 1)) sample for sample, crosses zero
// rising at t_k = L·ln k (its k-th harmonic's phase lines up there), and
// plays L·ln(f2/f1) to the sample before it fades.
TEST(MeasurementSignals, SynchronisedSweepIsItsFormula) {
  const int rate = 48000;
  GeneratorSettings s = kGeneratorDefaults;
  const double length_l = 0.15, m = 3.0;
  const double played = length_l * std::log(15000.0 / 20.0);
  EXPECT_NEAR(SynchronisedSweepSeconds(s), played, 1e-12);
  for (bool high : {true, false}) {
    SCOPED_TRACE(high ? "high" : "live");
    const Rendered r = Genrender("--sweep synchronised", high, rate, 1.2);
    ASSERT_GE(r.left.size(), static_cast<size_t>(1.2 * rate));
    auto formula = [&](double n) {
      return kLevel * std::sin(2 * kPi * m * (std::exp(n / (rate * length_l)) - 1.0));
    };
    // Float holds it to its rounding; 16 bits to the tables' and the truncation's error.
    const double tolerance = high ? 1e-6 : 3e-4;
    const int64_t end = static_cast<int64_t>(std::ceil(played * rate));
    double worst = 0.0;
    for (int64_t n = static_cast<int64_t>(kRampFrames); n < end; ++n) {
      worst = std::max(worst, std::fabs(r.left[n] - formula(static_cast<double>(n))));
    }
    EXPECT_LT(worst, tolerance);
    // Its end: the fade from the frame after the last, which leaves the formula.
    double after = 0.0;
    for (int64_t n = end; n < end + 20; ++n) {
      after = std::max(after, std::fabs(r.left[n] - formula(static_cast<double>(n))));
    }
    EXPECT_GT(after, 1e-3);
    if (!high) continue;
    for (int k = 2; k <= 5; ++k) {
      const double t = length_l * std::log(k) * rate;  // in frames
      const int64_t n = static_cast<int64_t>(std::floor(t));
      EXPECT_LE(r.left[n], 1e-6) << k;  // rising through zero between n and n + 1
      EXPECT_GE(r.left[n + 1], -1e-6) << k;
      EXPECT_GT(r.left[n + 2], r.left[n - 1]) << k;
    }
  }
}

// The stepped sweep: step k plays f1·2^(k/n) for its whole dwell, to 1e-7,
// with nothing but that sine in it (so its dwell starts and ends on the
// frames it should), and the phase goes on from step to step: no
// sample-to-sample change at a step is larger than inside the steps.
TEST(MeasurementSignals, SteppedSweepHoldsEachStepForItsDwell) {
  const struct {
    const char* args;
    bool high;
    double low_hz;
    int steps, rate;
    double dwell;
  } rows[] = {
      {"--sweep stepped --steps-per-octave 3 --dwell 0.1", true, 20.0, 29, 48000, 0.1},
      {"--sweep stepped --steps-per-octave 3 --dwell 0.1", false, 20.0, 29, 44100, 0.1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.high ? "high" : "live");
    const int dwell = static_cast<int>(std::lround(row.dwell * row.rate));
    const Rendered r = Genrender(row.args, row.high, row.rate, row.steps * row.dwell + 0.2);
    ASSERT_GE(r.left.size(), static_cast<size_t>(row.steps * dwell));
    double largest_inside = 0.0, largest_across = 0.0;
    for (int k = 0; k < row.steps; ++k) {
      const double hz = row.low_hz * std::exp2(k / 3.0);
      const size_t first = static_cast<size_t>(k) * dwell + (k == 0 ? kRampFrames : 0);
      const size_t count = static_cast<size_t>((k + 1) * dwell) - first;
      const SineFit fit = FitSine(Slice(r.left, first, count), hz, row.rate);
      // 16 bits measure the lowest steps' two cycles only to about 1e-6.
      const double tolerance = row.high || hz >= 200.0 ? 1e-7 : 2e-6;
      EXPECT_NEAR(fit.hz / hz - 1.0, 0.0, tolerance) << k;
      EXPECT_LT(fit.thd_n_db, row.high ? -120.0 : -70.0) << k << " " << hz;
      for (size_t n = first + 1; n + 1 < first + count; ++n) {
        largest_inside = std::max(largest_inside, std::fabs(r.left[n + 1] - r.left[n]));
      }
      if (k > 0) {
        const size_t at = static_cast<size_t>(k) * dwell;
        largest_across = std::max(largest_across, std::fabs(r.left[at] - r.left[at - 1]));
      }
    }
    EXPECT_LE(largest_across, largest_inside);
    // After the last step's dwell the sweep ends: it fades.
    const size_t end = static_cast<size_t>(row.steps) * dwell;
    double tail = 0.0;
    for (size_t n = end + 2000; n < end + 4000; ++n) tail = std::max(tail, std::fabs(r.left[n]));
    EXPECT_LT(tail, 1e-3);
  }
}

// A periodic noise's period is made where the settings are set, not in the
// render: the render takes it. Words 34 to 36 load into their ranges; 0,
// the word of older sets, stays.
TEST(MeasurementSignals, PeriodIsMadeAheadAndTheWordsLoadIntoRange) {
  GeneratorEngine* e = CreateGenerator();
  ASSERT_EQ(SetGeneratorFormat(&e, 48000.0f, 2), 1);
  GeneratorSettings s = kGeneratorDefaults;
  s.on = 1;
  s.source = kSourceNoise;
  s.noise_type = kNoisePeriodicPink;
  s.sequence_order = 13;
  SetGeneratorSettings(e, &s);
  EXPECT_TRUE(HoldsPeriodicNoise(e->prepared_period, kPeriodicPink, 13, 48000.0));
  std::vector<int16_t> block(2 * 4800);
  RenderGenerator(&e, block.data(), static_cast<uint32_t>(2 * block.size()));
  EXPECT_TRUE(HoldsPeriodicNoise(e->period, kPeriodicPink, 13, 48000.0));
  EXPECT_EQ(e->prepared_period.values, nullptr);
  ReleaseGenerator(&e);

  GeneratorSettings loaded = kGeneratorDefaults;
  KeepSettingsShowable(&loaded);
  EXPECT_EQ(loaded.sequence_order, 0);
  EXPECT_EQ(loaded.steps_per_octave, 0);
  EXPECT_EQ(loaded.step_dwell_s, 0.0f);
  loaded.sequence_order = 99;
  loaded.steps_per_octave = -5;
  loaded.step_dwell_s = NAN;
  KeepSettingsShowable(&loaded);
  EXPECT_EQ(loaded.sequence_order, kMaxSequenceOrder);
  EXPECT_EQ(loaded.steps_per_octave, 1);
  EXPECT_EQ(loaded.step_dwell_s, 0.0f);
  loaded.sequence_order = 3;
  loaded.steps_per_octave = 1000;
  loaded.step_dwell_s = 0.001f;
  KeepSettingsShowable(&loaded);
  EXPECT_EQ(loaded.sequence_order, kMinSequenceOrder);
  EXPECT_EQ(loaded.steps_per_octave, kMaxStepsPerOctave);
  EXPECT_EQ(loaded.step_dwell_s, kMinStepDwell);
}

}  // namespace
