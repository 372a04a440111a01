// White and brown noise, shared by both renderers.
//
// White noise is a uniform value in -1 … +1 for every frame, the same on
// both channels, from a 64-bit counter through the SplitMix64 finaliser, a
// bijection of 2^64 states: it never repeats (an hour at 192 kHz is under
// 2^30 frames), and no table is kept. It is scaled so that its RMS equals
// the pink-noise table's left channel, sqrt(3) times that RMS at the peak
// (about 0.40 of full scale), so its peaks stay inside full scale.
//
// Brown noise is that white noise through a one-pole low-pass at 20 Hz,
//   y[n] = p·y[n-1] + (1 - p)·w[n],  p = exp(-2π·20 / rate),
// which falls 6 dB an octave above 20 Hz, holds no DC (its mean is the
// white noise's, 0) and does not drift (|p| < 1 keeps it bounded, where a
// plain sum would wander off). Its variance is the input's times
// (1 - p)/(1 + p), so a gain of sqrt((1 + p)/(1 - p)) brings its RMS to the
// white noise's.
//
// Private to the engine sources and their tests.
#pragma once

#include <cmath>
#include <cstdint>

#include "generator/engine/pink_noise_table.h"

constexpr double kBrownCornerHz = 20.0;

// The next value in -1 … +1 (exactly -1 possible, +1 not).
inline double NextUniformNoise(uint64_t* counter) {
  uint64_t z = (*counter += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(static_cast<int64_t>(z)) * (1.0 / 9223372036854775808.0);
}

// The RMS of the pink-noise table's left channel, full scale 1.0, worked
// out once from the table.
inline double PinkLeftRms() {
  static const double rms = [] {
    double sum = 0.0;
    for (int32_t i = 0; i < kPinkNoiseWords; i += 2) {
      const double x = kPinkNoiseTable[i] / 32768.0;
      sum += x * x;
    }
    return std::sqrt(sum / kPinkNoiseFrames);
  }();
  return rms;
}

// The white noise's scale: a uniform value of RMS 1/sqrt(3) brought to the
// pink noise's RMS.
inline double WhiteNoiseScale() { return std::sqrt(3.0) * PinkLeftRms(); }

// The brown filter's pole and its RMS gain at `rate`.
struct BrownFilter {
  double pole;
  double gain;
};
inline BrownFilter BrownFilterAt(double rate) {
  const double pole =
      rate > 0.0 ? std::exp(-2.0 * 3.14159265358979323846 * kBrownCornerHz / rate) : 0.0;
  return {pole, std::sqrt((1.0 + pole) / (1.0 - pole))};
}
