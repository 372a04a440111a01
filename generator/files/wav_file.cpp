// WAV files: see wav_file.h.
#include "generator/files/wav_file.h"

#include <cstring>

constexpr uint32_t kWavChannels = 2;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
static_assert(12 + (8 + 16) + 8 == 44, "PCM: RIFF and WAVE, fmt, data headers");
static_assert(12 + (8 + 18) + (8 + 4) + 8 == kMaxWavHeaderBytes,
              "float: RIFF and WAVE, fmt with its extension size, fact, data headers");

static void PutLe(unsigned char* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

int WavFrameBytes(WavSampleFormat format) {
  return format == kWavS16 ? 4 : format == kWavS24 ? 6 : 8;
}

size_t MakeWavHeader(WavSampleFormat format, uint32_t frames, uint32_t sample_rate,
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
  PutLe(header + 24, sample_rate, 4);
  PutLe(header + 28, sample_rate * frame_bytes, 4);  // bytes per second
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
  } else {
    QuantisePcm(values, count, format == kWavS24 ? 3 : 2, dither, out);
  }
}

void PackBitPattern(const double* values, size_t count, WavSampleFormat format,
                    unsigned char* out) {
  if (format == kWavF32) {
    PackSamples(values, count, format, nullptr, out);
  } else {
    QuantiseBitPattern(values, count, format == kWavS24 ? 3 : 2, out);
  }
}
