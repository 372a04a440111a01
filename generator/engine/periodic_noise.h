// Noise that repeats exactly at an FFT length, and the maximum-length
// sequence: the measurement noises, shared by both renderers.
//
// Periodic noise. One period of M = 2^N samples whose DFT
//   X[k] = Σ x[n] e^(-2πi·kn/M)
// has a set magnitude in every bin: white, the same in bins 1 … M/2 - 1;
// pink, proportional to 1/sqrt(f) (3.01 dB an octave down) in the bins from
// 10 Hz to 22 kHz or half the rate, whichever is lower. DC, Nyquist and every
// other bin are zero. The phases are random from a seed fixed by N, so the
// same N always plays the same period. The period's RMS is the white
// noise's (random_noise.h, about -12.8 dBFS), which the magnitudes alone fix
// (Parseval: RMS² = 2 Σ |X[k]|² / M² over the bins 1 … M/2 - 1), and its peak
// is kept inside full scale: where random phases peak above kPeriodicPeak
// (their crest factor grows with N), the period is clipped there and its
// magnitudes set back, which changes only phases, until it holds; the last
// step sets the magnitudes, so they are exact whatever the peak did. An
// analyser that takes one period with a rectangular window sees every bin
// at its magnitude and no leakage.
//
// The tables take an FFT of M points per step and up to 8 MB (N = 20); they
// are made on first use by the render (periodic_noise.cpp) and owned by the
// engine that uses them, outside its lock.
//
// MLS. The maximum-length sequence of order N: a shift register of N bits
// whose feedback taps are a primitive polynomial runs through all 2^N - 1
// non-zero states before it repeats; its output bit plays as +1 or -1. The
// taps are those of Xilinx application note XAPP 052 (P. Alfke, "Efficient
// Shift Registers, LFSR Counters, and Long Pseudo-Random Sequence
// Generators", table 3), each checked for its full period by a test. One
// period's circular autocorrelation is 2^N - 1 at lag 0 and -1 at every
// other lag. The same on both channels; its RMS is its level.
//
// Private to the engine sources and their tests.
#pragma once

#include <cstdint>

#include "generator/engine/engine.h"

// The highest peak a periodic noise's period may reach, full scale 1.0.
constexpr double kPeriodicPeak = 0.98;
// The pink periodic noise's band, where the rate allows it.
constexpr double kPeriodicPinkLowHz = 10.0, kPeriodicPinkHighHz = 22000.0;

enum PeriodicShape : int32_t { kPeriodicWhite = 0, kPeriodicPink = 1 };

// One period of a periodic noise, full scale 1.0.
struct PeriodicNoiseTable {
  int32_t shape;   // PeriodicShape
  int32_t order;   // N: the period is 2^N samples
  double rate;     // Hz: the pink band depends on it
  double* values;  // 2^order of them; null when none is made
  int32_t length;
};

// The magnitude wanted in bin `k` of a period of 2^order samples at `rate`,
// before the scale that gives the RMS: 1 for white in 1 … M/2 - 1,
// 1/sqrt(k·rate/M) for pink in its band, else 0.
double PeriodicBinMagnitude(int32_t shape, int32_t order, double rate, int32_t k);

// Makes the period of `shape` and `order` at `rate` into `table`, replacing
// what it held. 1, or 0 when memory runs out (the table is then empty).
int MakePeriodicNoise(int32_t shape, int32_t order, double rate, PeriodicNoiseTable* table);

// Frees the period; the table is empty after.
void FreePeriodicNoise(PeriodicNoiseTable* table);

// Whether `table` holds the period of these.
inline bool HoldsPeriodicNoise(const PeriodicNoiseTable& table, int32_t shape, int32_t order,
                               double rate) {
  return table.values != nullptr && table.shape == shape && table.order == order &&
         table.rate == rate;
}

// In-place complex FFT of 2^order points (re and im separately), forward
// (e^-i) or inverse (e^+i, unscaled).
void Fft(double* re, double* im, int32_t order, bool inverse);

// The feedback taps of the order's maximum-length sequence, as a mask of
// the register's bits. The register holds the next N values, the soonest in
// bit 0; XAPP 052's tap t (its stage Qt) is then bit N - t.
uint32_t MlsTaps(int32_t order);

// The sequence's register and its taps.
struct MlsState {
  uint32_t reg;   // the next N values, the soonest in bit 0 (never 0)
  uint32_t taps;  // MlsTaps(order)
  int32_t order;
};

// Starts the sequence of `order` (brought into range) from its first value.
inline void RestartMls(MlsState* mls, int32_t order) {
  mls->order = SequenceOrderOf(order);
  mls->taps = MlsTaps(mls->order);
  mls->reg = (1u << mls->order) - 1u;  // all ones: the sequence begins with N ones
}

// The next value of the sequence, +1 or -1, and the register moved on.
inline int32_t NextMls(MlsState* mls) {
  const uint32_t r = mls->reg;
  const int32_t out = (r & 1u) ? 1 : -1;
  // Fibonacci form: the newest value is the parity of the tapped ones.
  const uint32_t feedback = static_cast<uint32_t>(__builtin_parity(r & mls->taps));
  mls->reg = (r >> 1) | (feedback << (mls->order - 1));
  return out;
}
