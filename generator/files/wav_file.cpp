// WAV files: see wav_file.h.
#include "generator/files/wav_file.h"

#include <cstring>

constexpr uint32_t kWavRate = 44100;
constexpr uint32_t kWavChannels = 2;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
static_assert(12 + (8 + 16) + 8 == 44, "PCM: RIFF and WAVE, fmt, data headers");
static_assert(12 + (8 + 18) + (8 + 4) + 8 == kMaxWavHeaderBytes,
              "float: RIFF and WAVE, fmt with its extension size, fact, data headers");

// Adding this before truncating makes every limited value positive, so the
// truncation toward zero is a floor; it is below 2^25, where doubles still
// resolve 2^-28 of an LSB.
constexpr double kFloorBias = 16777216.0;
static_assert(kFloorBias > 8388607.0 + 2.0, "a limited value plus its dither stays positive");

static void PutLe(unsigned char* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

int WavFrameBytes(WavSampleFormat format) {
  return format == kWavS16 ? 4 : format == kWavS24 ? 6 : 8;
}

size_t MakeWavHeader(WavSampleFormat format, uint32_t frames,
                     unsigned char header[kMaxWavHeaderBytes]) {
  const uint32_t frame_bytes = static_cast<uint32_t>(WavFrameBytes(format));
  const uint32_t data_bytes = frames * frame_bytes;
  const bool is_float = format == kWavF32;
  const uint32_t fmt_bytes = is_float ? 18 : 16;
  const size_t size = is_float ? 58 : 44;
  std::memcpy(header, "RIFF", 4);
  PutLe(header + 4, static_cast<uint32_t>(size - 8) + data_bytes, 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe(header + 16, fmt_bytes, 4);
  PutLe(header + 20, is_float ? kFormatFloat : kFormatPcm, 2);
  PutLe(header + 22, kWavChannels, 2);
  PutLe(header + 24, kWavRate, 4);
  PutLe(header + 28, kWavRate * frame_bytes, 4);  // bytes per second
  PutLe(header + 32, frame_bytes, 2);
  PutLe(header + 34, 8 * frame_bytes / kWavChannels, 2);  // bits per sample
  unsigned char* data = header + 36;
  if (is_float) {
    PutLe(header + 36, 0, 2);  // no extension
    std::memcpy(header + 38, "fact", 4);
    PutLe(header + 42, 4, 4);
    PutLe(header + 46, frames, 4);  // samples per channel
    data = header + 50;
  }
  std::memcpy(data, "data", 4);
  PutLe(data + 4, data_bytes, 4);
  return size;
}

void PackPcm16(const int16_t* samples, size_t count, unsigned char* out) {
  for (size_t i = 0; i < count; ++i) PutLe(out + 2 * i, static_cast<uint16_t>(samples[i]), 2);
}

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
static inline int32_t Quantize(double v, double full_scale, Dither* dither) {
  double x = v * full_scale;
  if (dither && x != 0.0) x += NextTpdf(dither);
  x = x == x ? x : 0.0;
  x = x <= full_scale ? x : full_scale;
  x = x >= -full_scale ? x : -full_scale;
  return static_cast<int32_t>(x + 0.5 + kFloorBias) - static_cast<int32_t>(kFloorBias);
}

void PackSamples(const double* values, size_t count, WavSampleFormat format, Dither* dither,
                 unsigned char* out) {
  if (format == kWavF32) {
    static_assert(sizeof(float) == 4, "IEEE single");
    for (size_t i = 0; i < count; ++i) {
      double v = values[i] == values[i] ? values[i] : 0.0;
      v = v <= 1.0 ? v : 1.0;
      v = v >= -1.0 ? v : -1.0;
      const float f = static_cast<float>(v);
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      PutLe(out + 4 * i, bits, 4);
    }
  } else if (format == kWavS24) {
    for (size_t i = 0; i < count; ++i) {
      PutLe(out + 3 * i, static_cast<uint32_t>(Quantize(values[i], 8388607.0, dither)), 3);
    }
  } else {
    for (size_t i = 0; i < count; ++i) {
      PutLe(out + 2 * i, static_cast<uint32_t>(Quantize(values[i], 32767.0, dither)), 2);
    }
  }
}
