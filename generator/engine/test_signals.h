// The test signals of source kSourceTestSignal, shared by both renderers:
// the twin tones, the tone burst and the J-test.
//
// The J-test is a bit pattern rather than a waveform: a square of 4 samples
// (a quarter of the rate) at half scale, plus a square of 1 LSB that repeats
// every 192 samples. In 24 bits its codes are C00000 C00000 400000 400000,
// 24 times, then BFFFFF BFFFFF 3FFFFF 3FFFFF, 24 times; narrower widths take
// the same codes shifted right (16 bits: C000 C000 4000 4000, then BFFF BFFF
// 3FFF 3FFF), which is floor(v · 2^(bits-1)) of v = code / 2^23. Level, gain
// and balance do not apply to it and nothing dithers it, so its spectrum
// holds only its own lines and a receiver's jitter shows as sidebands.
//
// Private to the engine sources and their tests.
#pragma once

#include <cstdint>

#include "generator/engine/engine.h"

constexpr int32_t kJTestPeriod = 192;  // samples of the 1-LSB square

// A bit pattern's values are 24-bit codes over 2^23 (full scale 1.0): what
// the precise synth writes and QuantiseBitPattern turns back into codes.
constexpr double kBitPatternScale = 8388608.0;

// The J-test's 24-bit code at `position` (0 … 191) of its period.
constexpr int32_t JTestCode24(int32_t position) {
  const int32_t half_scale = (position & 3) < 2 ? -0x400000 : 0x400000;
  return position < kJTestPeriod / 2 ? half_scale : half_scale - 1;
}
// Its 16-bit code: the 24-bit code shifted right by 8, which is
// floor(code / 256) (the shift of a negative value is arithmetic here, as
// the assertion below holds).
constexpr int32_t JTestCode16(int32_t position) { return JTestCode24(position) >> 8; }
static_assert(JTestCode16(0) == -0x4000 && JTestCode16(2) == 0x4000 && JTestCode16(96) == -0x4001 &&
                  JTestCode16(99) == 0x3FFF,
              "C000 C000 4000 4000, then BFFF BFFF 3FFF 3FFF");

// The position after `position`.
constexpr int32_t NextJTestPosition(int32_t position) {
  return position + 1 < kJTestPeriod && position >= 0 ? position + 1 : 0;
}

// The twin tones: their two frequencies and amplitudes, which sum to 1 (at
// 0 dB the peaks reach full scale).
struct TwinTone {
  double low_hz, high_hz;
  double low_amplitude, high_amplitude;
};
// The tone burst: its cycles of sound and its whole period, in cycles of
// the tone, from the settings (a burst of less than half a cycle plays half
// a cycle; no number that is not finite plays).
struct ToneBurst {
  double on_cycles, period_cycles;
  int32_t hann;
};
inline ToneBurst ToneBurstOf(const GeneratorSettings& s) {
  double on = s.burst_on_cycles, off = s.burst_off_cycles;
  on = on >= kBurstMinOnCycles ? (on <= kBurstMaxOnCycles ? on : kBurstMaxOnCycles)
                               : kBurstMinOnCycles;  // NaN too
  off = off >= 0.0 ? (off <= kBurstMaxOffCycles ? off : kBurstMaxOffCycles) : 0.0;
  return {on, on + off, (s.waveform_options & kHannBurst) ? 1 : 0};
}

// One frame of the tone burst at `*position` cycles into its period, and
// the position moved on by `increment`: the sine (through `sine`, which
// gives sin 2πx for x in cycles) while the burst sounds, Hann-windowed over
// it when asked, silence after it; each period starts the sine at phase 0.
template <typename Real, typename Sine>
inline Real NextToneBurst(double* position, double increment, const ToneBurst& burst, Sine sine) {
  const double at = *position;
  Real g = 0;
  if (at < burst.on_cycles) {
    g = static_cast<Real>(sine(at - static_cast<double>(static_cast<int64_t>(at))));
    if (burst.hann) {
      g *= static_cast<Real>(0.5 - 0.5 * sine(at / burst.on_cycles + 0.25));
    }
  }
  double next = at + increment;
  if (!(next < burst.period_cycles)) next = 0.0;  // the next burst from phase 0; NaN too
  *position = next;
  return g;
}

// The twin tone of a test signal (kTwinTones); none (silent) for a number
// that names no twin tone.
constexpr TwinTone TwinToneOf(int32_t test_signal) {
  for (const TwinToneRow& row : kTwinTones) {
    if (row.signal == test_signal) {
      return {row.low_hz, row.high_hz, row.low_amplitude, row.high_amplitude};
    }
  }
  return {0.0, 0.0, 0.0, 0.0};
}
