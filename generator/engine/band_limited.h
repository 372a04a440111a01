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
// multiplication in four interleaved chains (so four multiplications are in
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
  constexpr int kChains = 4;
  const double c1 = std::cos(kTwoPi * phase), s1 = std::sin(kTwoPi * phase);
  double sc = c1, ss = s1;  // z^stride
  if (stride == 2) {
    sc = c1 * c1 - s1 * s1;
    ss = 2.0 * c1 * s1;
  }
  // Chain j starts at z^(1 + j·stride); all step by z^(4·stride).
  double zc[kChains], zs[kChains], sum[kChains] = {};
  zc[0] = c1;
  zs[0] = s1;
  for (int j = 1; j < kChains; ++j) {
    zc[j] = zc[j - 1] * sc - zs[j - 1] * ss;
    zs[j] = zc[j - 1] * ss + zs[j - 1] * sc;
  }
  const double c2 = sc * sc - ss * ss, s2 = 2.0 * sc * ss;  // z^(2·stride)
  const double step_c = c2 * c2 - s2 * s2, step_s = 2.0 * c2 * s2;
  int32_t k = 1;
  for (; k + (kChains - 1) * stride <= harmonics; k += kChains * stride) {
    for (int j = 0; j < kChains; ++j) {
      sum[j] += weight[k + j * stride] * zs[j];
      const double c = zc[j] * step_c - zs[j] * step_s;
      zs[j] = zc[j] * step_s + zs[j] * step_c;
      zc[j] = c;
    }
  }
  for (int j = 0; k <= harmonics; k += stride, ++j) sum[0] += weight[k] * zs[j];  // the rest
  return (sum[0] + sum[1]) + (sum[2] + sum[3]);
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
