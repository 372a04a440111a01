// Double-precision samples to integer PCM, with TPDF dither: how the precise
// synth's output becomes what a WAV file holds and what the program's
// high-precision widths send to the device.
//
// A value v at full scale 1.0 becomes round(v · F + d), limited to ±F, where
// F is 32767 or 8388607 (the program's symmetric full scale, never the most
// negative code) and d is TPDF dither: the difference of two independent
// uniform values in [0, 1), triangular over ±1 LSB, so the error has mean 0
// and variance 1/4 LSB² whatever the signal. Exact zeros (digital silence:
// the pause of a gate, the end of a one-shot) stay zero. NaN becomes 0.
#pragma once

#include <cstddef>
#include <cstdint>

// The TPDF dither source: a counter and a 32-bit hash of it
// (pcm_quantiser.cpp), the same sequence for the same seed on every build.
struct Dither {
  uint64_t state;
};

constexpr uint64_t kDitherSeed = 0x243F6A8885A308D3ull;  // any fixed seed

// Quantises `count` values into little-endian PCM of `sample_bytes` bytes a
// sample (2: 16-bit, 3: 24-bit, 4: 24 bits in a 32-bit container, its low
// byte 0), with TPDF dither when `dither` is not null.
void QuantisePcm(const double* values, size_t count, int sample_bytes, Dither* dither,
                 unsigned char* out);

// Writes `count` values of a bit pattern (the J-test: 24-bit codes over
// 2^23) as floor(v · 2^(bits-1)), limited like the quantiser's output and
// never dithered: the 24-bit codes as they are, and at 16 bits the same
// codes shifted right by 8.
void QuantiseBitPattern(const double* values, size_t count, int sample_bytes, unsigned char* out);
