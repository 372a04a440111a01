// PCM quantising: see pcm_quantiser.h.
#include "generator/engine/pcm_quantiser.h"

// Adding this before truncating makes every limited value positive, so the
// truncation toward zero is a floor; it is below 2^25, where doubles still
// resolve 2^-28 of an LSB.
constexpr double kFloorBias = 16777216.0;
static_assert(kFloorBias > 8388607.0 + 2.0, "a limited value plus its dither stays positive");

// Two independent uniform values in [0, 1) from one 64-bit draw, subtracted.
static inline double NextTpdf(Dither* dither) {
  uint64_t z = (dither->state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  const double unit = 1.0 / 4294967296.0;
  return static_cast<double>(z >> 32) * unit - static_cast<double>(z & 0xFFFFFFFFu) * unit;
}

// round(v · full_scale + dither), limited to ±full_scale; NaN gives 0.
static inline int32_t Quantise(double v, double full_scale, Dither* dither) {
  double x = v * full_scale;
  if (dither && x != 0.0) x += NextTpdf(dither);
  x = x == x ? x : 0.0;
  x = x <= full_scale ? x : full_scale;
  x = x >= -full_scale ? x : -full_scale;
  return static_cast<int32_t>(x + 0.5 + kFloorBias) - static_cast<int32_t>(kFloorBias);
}

template <int kBytes>
static void QuantiseTo(const double* values, size_t count, Dither* dither, unsigned char* out) {
  constexpr double kFullScale = kBytes == 3 ? 8388607.0 : 32767.0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t code = static_cast<uint32_t>(Quantise(values[i], kFullScale, dither));
    for (int b = 0; b < kBytes; ++b) out[kBytes * i + b] = static_cast<unsigned char>(code >> (8 * b));
  }
}

void QuantisePcm(const double* values, size_t count, int sample_bytes, Dither* dither,
                 unsigned char* out) {
  if (sample_bytes == 3) {
    QuantiseTo<3>(values, count, dither, out);
  } else {
    QuantiseTo<2>(values, count, dither, out);
  }
}
