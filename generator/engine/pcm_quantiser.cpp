// PCM quantising: see pcm_quantiser.h.
#include "generator/engine/pcm_quantiser.h"

#include "generator/engine/test_signals.h"

// Adding this before truncating makes every limited value positive, so the
// truncation toward zero is a floor; it is below 2^25, where doubles still
// resolve 2^-28 of an LSB.
constexpr double kFloorBias = 16777216.0;
static_assert(kFloorBias > 8388607.0 + 2.0, "a limited value plus its dither stays positive");

// A 32-bit integer hash with two multiplies (lowbias32): every bit of the
// input moves every bit of the output.
static inline uint32_t Hash32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// Two independent uniform values in [0, 1), subtracted: the two 16-bit
// halves of the hash of the state's next count (its low word, keyed by its
// high word). 16 bits resolve the dither to 1/65536 of an LSB, far below
// anything the output shows. Only 32-bit operations, which the 32-bit
// program runs as fast as the 64-bit one (a 64-bit multiply there is
// three). The low word wraps after 2^32 samples (6 hours of 192 kHz stereo)
// and carries into the key: a new sequence.
static inline double NextTpdf(uint64_t* state) {
  const uint32_t count = static_cast<uint32_t>(*state);
  const uint32_t key = static_cast<uint32_t>(*state >> 32);
  *state += 1;
  const uint32_t bits = Hash32(count + key);
  const int32_t a = static_cast<int32_t>(bits & 0xFFFFu);
  const int32_t b = static_cast<int32_t>(bits >> 16);
  return static_cast<double>(a - b) * (1.0 / 65536.0);
}

// A sample of kBytes bytes: 2 and 3 hold the code whole, 4 holds a 24-bit
// code in its top three bytes, the lowest byte 0.
template <int kBytes>
static inline void StoreCode(uint32_t code, unsigned char* out) {
  constexpr int kPad = kBytes == 4 ? 1 : 0;
  if (kPad) out[0] = 0;
  for (int b = 0; b < kBytes - kPad; ++b)
    out[kPad + b] = static_cast<unsigned char>(code >> (8 * b));
}

// round(v · kFullScale + dither), limited to ±kFullScale; NaN gives 0. The
// state is a local of the caller: the byte stores of the output could alias
// the caller's Dither record and would keep it out of a register.
template <int kBytes, bool kDither>
static void QuantiseTo(const double* values, size_t count, uint64_t* dither_state,
                       unsigned char* out) {
  constexpr double kFullScale = kBytes >= 3 ? 8388607.0 : 32767.0;
  uint64_t state = *dither_state;
  for (size_t i = 0; i < count; ++i) {
    double x = values[i] * kFullScale;
    if (kDither && x != 0.0) x += NextTpdf(&state);
    x = x == x ? x : 0.0;
    x = x <= kFullScale ? x : kFullScale;
    x = x >= -kFullScale ? x : -kFullScale;
    const uint32_t code = static_cast<uint32_t>(static_cast<int32_t>(x + 0.5 + kFloorBias) -
                                                static_cast<int32_t>(kFloorBias));
    StoreCode<kBytes>(code, out + kBytes * i);
  }
  *dither_state = state;
}

void QuantisePcm(const double* values, size_t count, int sample_bytes, Dither* dither,
                 unsigned char* out) {
  uint64_t none = 0;
  uint64_t* state = dither ? &dither->state : &none;
  if (sample_bytes == 4) {
    dither ? QuantiseTo<4, true>(values, count, state, out)
           : QuantiseTo<4, false>(values, count, state, out);
  } else if (sample_bytes == 3) {
    dither ? QuantiseTo<3, true>(values, count, state, out)
           : QuantiseTo<3, false>(values, count, state, out);
  } else {
    dither ? QuantiseTo<2, true>(values, count, state, out)
           : QuantiseTo<2, false>(values, count, state, out);
  }
}

void QuantiseBitPattern(const double* values, size_t count, int sample_bytes, unsigned char* out) {
  const int bytes = sample_bytes == 3 || sample_bytes == 4 ? sample_bytes : 2;
  // 24-bit codes over 2^23 (kBitPatternScale); 16 bits keep their top two bytes.
  const double scale = bytes >= 3 ? kBitPatternScale : kBitPatternScale / 256.0;
  const double full_scale = scale - 1.0;
  for (size_t i = 0; i < count; ++i) {
    double x = values[i] * scale;
    x = x == x ? x : 0.0;
    x = x <= full_scale ? x : full_scale;
    x = x >= -full_scale ? x : -full_scale;
    // floor, as in QuantiseTo: the bias makes the value positive first.
    const uint32_t code = static_cast<uint32_t>(static_cast<int32_t>(x + kFloorBias) -
                                                static_cast<int32_t>(kFloorBias));
    if (bytes == 4) {
      StoreCode<4>(code, out + 4 * i);
    } else if (bytes == 3) {
      StoreCode<3>(code, out + 3 * i);
    } else {
      StoreCode<2>(code, out + 2 * i);
    }
  }
}
