// WAV files of stereo audio at the engine's rates in three sample formats: the header and
// the samples, with TPDF dither for PCM made from double-precision values.
//
// 16- and 24-bit files are WAVE_FORMAT_PCM (a 16-byte fmt chunk), as sox and
// Python's wave module read them (wave before Python 3.12 refuses
// WAVE_FORMAT_EXTENSIBLE); 32-bit float files are WAVE_FORMAT_IEEE_FLOAT with
// the 18-byte fmt chunk and the fact chunk that non-PCM formats carry. All
// integers are little-endian.
//
// PCM values made from doubles are quantised with TPDF dither
// (generator/engine/pcm_quantiser.h); floats are limited to ±1.0 like PCM
// and never dithered; NaN becomes 0 in every format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generator/engine/pcm_quantiser.h"

enum WavSampleFormat : int32_t { kWavS16 = 0, kWavS24 = 1, kWavF32 = 2 };

constexpr size_t kMaxWavHeaderBytes = 58;

// Bytes one stereo frame takes in `format`: 4, 6 or 8.
int WavFrameBytes(WavSampleFormat format);

// Writes the header of a stereo file of `frames` frames at `sample_rate`
// into `header`; returns its size: 44 for PCM, 58 for float. The frames'
// data and the header must fit the 32-bit sizes (kMaxWavFrames in every
// format; the caller checks longer ones).
size_t MakeWavHeader(WavSampleFormat format, uint32_t frames, uint32_t sample_rate,
                     unsigned char header[kMaxWavHeaderBytes]);

// Frames whose data still fits the 32-bit size fields in every format.
constexpr uint32_t kMaxWavFrames = (0xFFFFFFFFu - kMaxWavHeaderBytes) / 8;

// Writes `count` 16-bit samples as they are.
void PackPcm16(const int16_t* samples, size_t count, unsigned char* out);

// Quantises `count` values (full scale 1.0) into `format`, with TPDF dither
// when `dither` is not null (PCM only; floats are never dithered).
void PackSamples(const double* values, size_t count, WavSampleFormat format, Dither* dither,
                 unsigned char* out);

// Writes `count` values of a bit pattern (precise_synth.h) into `format`:
// PCM through QuantiseBitPattern, floats as they are (the codes over 2^23
// are exact in single precision).
void PackBitPattern(const double* values, size_t count, WavSampleFormat format,
                    unsigned char* out);
