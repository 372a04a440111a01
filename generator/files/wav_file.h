// WAV files of stereo 44,100 Hz audio in three sample formats: the header and
// the samples, with TPDF dither for PCM made from double-precision values.
//
// 16- and 24-bit files are WAVE_FORMAT_PCM (a 16-byte fmt chunk), as sox and
// Python's wave module read them (wave before Python 3.12 refuses
// WAVE_FORMAT_EXTENSIBLE); 32-bit float files are WAVE_FORMAT_IEEE_FLOAT with
// the 18-byte fmt chunk and the fact chunk that non-PCM formats carry. All
// integers are little-endian.
//
// Quantising: a value v at full scale 1.0 becomes round(v · F + d), limited to
// ±F, where F is 32767 or 8388607 (the program's symmetric full scale, never
// the most negative code) and d is TPDF dither: the difference of two
// independent uniform values in [0, 1), triangular over ±1 LSB, so the error
// has mean 0 and variance 1/4 LSB² whatever the signal. Exact zeros (digital
// silence: the pause of a gate, the end of a one-shot) stay zero. Floats are
// limited to ±1.0 like PCM; NaN becomes 0 in every format.
#pragma once

#include <cstddef>
#include <cstdint>

enum WavSampleFormat : int32_t { kWavS16 = 0, kWavS24 = 1, kWavF32 = 2 };

constexpr size_t kMaxWavHeaderBytes = 58;

// Bytes one stereo frame takes in `format`: 4, 6 or 8.
int WavFrameBytes(WavSampleFormat format);

// Writes the header of a stereo 44,100 Hz file of `frames` frames (at most
// kMaxWavFrames) into `header`; returns its size: 44 for PCM, 58 for float.
size_t MakeWavHeader(WavSampleFormat format, uint32_t frames,
                     unsigned char header[kMaxWavHeaderBytes]);

// Frames whose data still fits the 32-bit size fields in every format.
constexpr uint32_t kMaxWavFrames = (0xFFFFFFFFu - kMaxWavHeaderBytes) / 8;

// The TPDF dither source: a counter-based generator (SplitMix64), the same
// sequence for the same seed.
struct Dither {
  uint64_t state;
};

// Writes `count` 16-bit samples as they are.
void PackPcm16(const int16_t* samples, size_t count, unsigned char* out);

// Quantises `count` values (full scale 1.0) into `format`, with TPDF dither
// when `dither` is not null (PCM only; floats are never dithered).
void PackSamples(const double* values, size_t count, WavSampleFormat format, Dither* dither,
                 unsigned char* out);
