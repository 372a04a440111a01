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
// multiplication in eight interleaved chains, two to a register (so that
// eight multiplications are in flight at once); the error of the
// k-th term grows as k·ε, under 1e-12 at k = 1024, far below -120 dB. A
// right channel at `offset` cycles on takes the same chain:
//   w·sin(2πk(x + offset)) = w·cos(2πk·offset)·sin(2πkx) + w·sin(2πk·offset)·cos(2πkx),
// with the two turned weights of each harmonic worked out once for the
// waveform and the offset (RightSeries), so a second channel costs two
// multiply-adds a harmonic rather than a second chain.
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
#include <cstring>

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

// The series' weights, with their signs and the scale of the naive
// waveform's peak folded in, compacted to the harmonics each series has:
// term i is harmonic 1 + i·stride (stride 1: every harmonic, the sawtooth's;
// stride 2: the odd ones, the square's and the triangle's).
struct HarmonicWeights {
  std::array<double, kMaxHarmonics> sawtooth, square, triangle;
};
constexpr HarmonicWeights MakeHarmonicWeights() {
  constexpr double kPi = 3.141592653589793238463;
  HarmonicWeights w{};
  for (int32_t i = 0; i < kMaxHarmonics; ++i) {
    const int32_t k = i + 1, odd = 2 * i + 1;  // the sawtooth's harmonic, the others'
    w.sawtooth[i] = (k % 2 == 1 ? 2.0 : -2.0) / (kPi * k);
    w.square[i] = 4.0 / (kPi * odd);
    w.triangle[i] = (odd % 4 == 1 ? 8.0 : -8.0) / (kPi * kPi * odd * odd);
  }
  return w;
}
inline constexpr HarmonicWeights kHarmonicWeights = MakeHarmonicWeights();

// A waveform's series: its weights and the step of its harmonic numbers;
// null weights for the sine.
struct Series {
  const double* weight;
  int32_t stride;
};
inline Series SeriesOf(int32_t waveform) {
  switch (waveform) {
    case kWaveSawtooth: return {kHarmonicWeights.sawtooth.data(), 1};
    case kWaveSquare: return {kHarmonicWeights.square.data(), 2};
    case kWaveTriangle: return {kHarmonicWeights.triangle.data(), 2};
    default: return {nullptr, 1};
  }
}

// How many terms of the series lie at or below harmonic `harmonics`.
inline int32_t TermsUpTo(const Series& series, int32_t harmonics) {
  return harmonics < 1 ? 0 : (harmonics - 1) / series.stride + 1;
}

// The right channel's turned weights of a waveform at an offset of the
// phase: w·cos(2πk·offset) (the sine's part) and w·sin(2πk·offset) (the
// cosine's), by term. Made when the waveform or the offset changes.
struct RightSeries {
  int32_t waveform;
  double offset;  // cycles
  bool made;
  double sine_part[kMaxHarmonics];
  double cosine_part[kMaxHarmonics];
};

// Makes `right` for `waveform` at `offset` cycles unless it holds them already.
inline void DeriveRightSeries(int32_t waveform, double offset, RightSeries* right) {
  if (right->made && right->waveform == waveform && right->offset == offset) return;
  right->waveform = waveform;
  right->offset = offset;
  right->made = true;
  const Series series = SeriesOf(waveform);
  if (series.weight == nullptr) return;
  constexpr double kTwoPi = 6.283185307179586476925;
  for (int32_t i = 0; i < kMaxHarmonics; ++i) {
    const double turn = kTwoPi * static_cast<double>(1 + i * series.stride) * offset;
    right->sine_part[i] = series.weight[i] * std::cos(turn);
    right->cosine_part[i] = series.weight[i] * std::sin(turn);
  }
}

// Two doubles in one register (the vector extension of GCC and Clang: SSE2
// on x86): the series' eight lanes go two at a time, four pairs unrolled.
typedef double DoublePair __attribute__((vector_size(16)));
inline DoublePair LoadPair(const double* p) {
  DoublePair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One term in each of two lanes: the weights at `at`, the lanes' points
// (zc, zs) turned on by the step afterwards.
template <bool kRight>
inline void StepLanePair(const double* weight, const RightSeries* right, int32_t at,
                         DoublePair step_c, DoublePair step_s, DoublePair* zc, DoublePair* zs,
                         DoublePair* l, DoublePair* r) {
  *l += LoadPair(weight + at) * *zs;
  if (kRight) {
    *r += LoadPair(right->sine_part + at) * *zs + LoadPair(right->cosine_part + at) * *zc;
  }
  const DoublePair c = *zc * step_c - *zs * step_s;
  *zs = *zc * step_s + *zs * step_c;
  *zc = c;
}

// The first `terms` terms of `series` at `phase` (cycles) into *left and,
// with `right` (else null), the right channel's into *right.
template <bool kRight>
inline void SumSeries(const Series& series, const RightSeries* right_series, double phase,
                      int32_t terms, double* left, double* right) {
  constexpr double kTwoPi = 6.283185307179586476925;
  constexpr int kLanes = 8;
  const double c1 = std::cos(kTwoPi * phase), s1 = std::sin(kTwoPi * phase);
  double sc = c1, ss = s1;  // z^stride: from one term to the next
  if (series.stride == 2) {
    sc = c1 * c1 - s1 * s1;
    ss = 2.0 * c1 * s1;
  }
  // Lane j starts at term j (z^(1 + j·stride)); all step by eight terms.
  double zc[kLanes], zs[kLanes];
  zc[0] = c1;
  zs[0] = s1;
  for (int j = 1; j < kLanes; ++j) {
    zc[j] = zc[j - 1] * sc - zs[j - 1] * ss;
    zs[j] = zc[j - 1] * ss + zs[j - 1] * sc;
  }
  double step_c = sc, step_s = ss;
  for (int square = 0; square < 3; ++square) {  // (z^stride)^8
    const double c = step_c * step_c - step_s * step_s;
    step_s = 2.0 * step_c * step_s;
    step_c = c;
  }
  const DoublePair tc = {step_c, step_c}, ts = {step_s, step_s};
  DoublePair c0 = LoadPair(zc), c1p = LoadPair(zc + 2), c2 = LoadPair(zc + 4),
             c3 = LoadPair(zc + 6);
  DoublePair s0 = LoadPair(zs), s1p = LoadPair(zs + 2), s2 = LoadPair(zs + 4),
             s3 = LoadPair(zs + 6);
  DoublePair l0 = {}, l1 = {}, l2 = {}, l3 = {}, r0 = {}, r1 = {}, r2 = {}, r3 = {};
  const double* w = series.weight;
  int32_t i = 0;
  for (; i + kLanes <= terms; i += kLanes) {
    StepLanePair<kRight>(w, right_series, i, tc, ts, &c0, &s0, &l0, &r0);
    StepLanePair<kRight>(w, right_series, i + 2, tc, ts, &c1p, &s1p, &l1, &r1);
    StepLanePair<kRight>(w, right_series, i + 4, tc, ts, &c2, &s2, &l2, &r2);
    StepLanePair<kRight>(w, right_series, i + 6, tc, ts, &c3, &s3, &l3, &r3);
  }
  // The rest, fewer than eight terms, from the lanes' next points.
  const DoublePair lanes_c[4] = {c0, c1p, c2, c3}, lanes_s[4] = {s0, s1p, s2, s3};
  std::memcpy(zc, lanes_c, sizeof zc);
  std::memcpy(zs, lanes_s, sizeof zs);
  double rest_l = 0.0, rest_r = 0.0;
  for (int j = 0; i < terms && j < kLanes; ++i, ++j) {
    rest_l += w[i] * zs[j];
    if (kRight) rest_r += right_series->sine_part[i] * zs[j] + right_series->cosine_part[i] * zc[j];
  }
  const DoublePair lt = (l0 + l1) + (l2 + l3);
  *left = (lt[0] + lt[1]) + rest_l;
  if (kRight) {
    const DoublePair rt = (r0 + r1) + (r2 + r3);
    *right = (rt[0] + rt[1]) + rest_r;
  }
}

// The alias-free `waveform` at `phase` (cycles) with `harmonics` harmonics
// into *left, and with `right_series` (else null) the right channel at its
// offset into *right; the sine is the sine.
inline void AliasFreeValues(int32_t waveform, double phase, int32_t harmonics,
                            const RightSeries* right_series, double* left, double* right) {
  const Series series = SeriesOf(waveform);
  if (series.weight == nullptr) {
    constexpr double kTwoPi = 6.283185307179586476925;
    *left = harmonics > 0 ? std::sin(kTwoPi * phase) : 0.0;
    if (right_series) {
      *right = harmonics > 0 ? std::sin(kTwoPi * (phase + right_series->offset)) : 0.0;
    }
    return;
  }
  const int32_t terms = TermsUpTo(series, harmonics);
  if (right_series) {
    SumSeries<true>(series, right_series, phase, terms, left, right);
  } else {
    SumSeries<false>(series, nullptr, phase, terms, left, right);
  }
}

// The left channel alone.
inline double AliasFreeValue(int32_t waveform, double phase, int32_t harmonics) {
  double left = 0.0, right = 0.0;
  AliasFreeValues(waveform, phase, harmonics, nullptr, &left, &right);
  return left;
}
