// Alias-free triangle, sawtooth and square, shared by both renderers.
//
// The naive waveforms (the engine's tables, the precise synth's exact
// shapes) hold every harmonic, and those above half the rate fold back
// below it, as tones on no harmonic of the frequency. The alias-free ones
// are the same waveforms' Fourier series, cut at half the rate:
//   sawtooth  (2/π)  Σ (-1)^(k+1) sin(2πkx) / k,       k = 1, 2, 3 …
//   square    (4/π)  Σ sin(2πkx) / k,                  k = 1, 3, 5 …
//   triangle  (8/π²) Σ (-1)^((k-1)/2) sin(2πkx) / k²,  k = 1, 3, 5 …
// over the harmonics with k·f below rate / 2, at most kMaxHarmonics of them,
// so that a frame costs a bounded number of terms: the series is whole from
// rate / 2048 up (21.5 Hz at 44.1 kHz, 94 Hz at 192 kHz); below that it
// stops at 1,024 f (20.5 kHz for 20 Hz). x is the phase in cycles, so each
// starts at 0 at phase 0 as its naive shape does.
//
// The terms come from one (cos, sin) of the phase, turned by repeated complex
// multiplication in two interleaved chains (so two multiplications are in
// flight at once); the error of the k-th term grows as k·ε, under 1e-12 at
// k = 1024, far below -120 dB.
//
// The square and the sawtooth overshoot their edges by the Gibbs
// phenomenon, 9 % of the jump: their peaks reach 1.18 (+1.4 dB), so the
// level must stay 1.4 dB below full scale for them not to clip.
//
// Private to the engine sources and their tests.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "generator/engine/engine.h"

constexpr int32_t kMaxHarmonics = 1024;

// How many harmonics of a tone of `increment` cycles a frame lie below half
// the rate: k·|increment| < 0.5, at most kMaxHarmonics; none for NaN.
inline int32_t HarmonicsBelowHalfRate(double increment) {
  const double a = std::fabs(increment);
  if (!(a < 0.5)) return 0;  // NaN too
  if (a * (kMaxHarmonics + 1) < 0.5) return kMaxHarmonics;
  const int32_t below = static_cast<int32_t>(std::ceil(0.5 / a)) - 1;  // k·a < 0.5
  return below < kMaxHarmonics ? below : kMaxHarmonics;
}

// The series' weights by harmonic number (index 0 unused), with their signs
// and the scale of the naive waveform's peak folded in.
struct HarmonicWeights {
  std::array<double, kMaxHarmonics + 1> sawtooth, square, triangle;
};
constexpr HarmonicWeights MakeHarmonicWeights() {
  constexpr double kPi = 3.141592653589793238463;
  HarmonicWeights w{};
  for (int32_t k = 1; k <= kMaxHarmonics; ++k) {
    w.sawtooth[k] = (k % 2 == 1 ? 2.0 : -2.0) / (kPi * k);
    w.square[k] = k % 2 == 1 ? 4.0 / (kPi * k) : 0.0;
    w.triangle[k] = k % 2 == 1 ? (k % 4 == 1 ? 8.0 : -8.0) / (kPi * kPi * k * k) : 0.0;
  }
  return w;
}
inline constexpr HarmonicWeights kHarmonicWeights = MakeHarmonicWeights();

// Σ weight[k] · sin(2πk·phase) over k = 1, 1 + stride, … ≤ harmonics, for a
// stride of 1 (every harmonic) or 2 (the odd ones).
inline double SumHarmonics(const std::array<double, kMaxHarmonics + 1>& weight, int32_t stride,
                           double phase, int32_t harmonics) {
  constexpr double kTwoPi = 6.283185307179586476925;
  const double c1 = std::cos(kTwoPi * phase), s1 = std::sin(kTwoPi * phase);
  // The chains start at z and z^(1 + stride) and step by z^(2·stride).
  double sc = c1, ss = s1;  // z^stride
  if (stride == 2) {
    sc = c1 * c1 - s1 * s1;
    ss = 2.0 * c1 * s1;
  }
  double ac = c1, as = s1;
  double bc = ac * sc - as * ss, bs = ac * ss + as * sc;
  const double step_c = sc * sc - ss * ss, step_s = 2.0 * sc * ss;
  double sum_a = 0.0, sum_b = 0.0;
  int32_t k = 1;
  for (; k + stride <= harmonics; k += 2 * stride) {
    sum_a += weight[k] * as;
    sum_b += weight[k + stride] * bs;
    const double a_c = ac * step_c - as * step_s;
    as = ac * step_s + as * step_c;
    ac = a_c;
    const double b_c = bc * step_c - bs * step_s;
    bs = bc * step_s + bs * step_c;
    bc = b_c;
  }
  if (k <= harmonics) sum_a += weight[k] * as;
  return sum_a + sum_b;
}

// The alias-free `waveform` at `phase` (cycles) with `harmonics` harmonics;
// the sine is the sine.
inline double AliasFreeValue(int32_t waveform, double phase, int32_t harmonics) {
  switch (waveform) {
    case kWaveSawtooth: return SumHarmonics(kHarmonicWeights.sawtooth, 1, phase, harmonics);
    case kWaveSquare: return SumHarmonics(kHarmonicWeights.square, 2, phase, harmonics);
    case kWaveTriangle: return SumHarmonics(kHarmonicWeights.triangle, 2, phase, harmonics);
    default: return harmonics > 0 ? std::sin(6.283185307179586476925 * phase) : 0.0;
  }
}
