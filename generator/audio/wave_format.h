// Wave formats and stream buffer sizing, without any Windows type.
//
// A format code names the sample encoding: 1, 2 and 4 are 8-, 16- and 24-bit
// integer PCM, 8 and 16 are 32- and 64-bit IEEE float, 32 is 24-bit PCM in
// a 32-bit container (its low byte 0: what devices that take 24 bits
// usually take in exclusive mode). Codes 64 … 512 are known encodings that
// are not built (counted as 4 bytes a sample); every other code counts 0.
#pragma once

#include <cstdint>

// The format codes the program builds.
constexpr int32_t kFormatPcm8 = 1;
constexpr int32_t kFormatPcm16 = 2;
constexpr int32_t kFormatPcm24 = 4;
constexpr int32_t kFormatFloat32 = 8;
constexpr int32_t kFormatFloat64 = 16;
constexpr int32_t kFormatPcm24In32 = 32;

struct WaveFormatSpec {
  int32_t sample_rate;    // Hz
  int32_t channel_count;  //
  int32_t format_code;    // 1, 2, 4, 8, 16
};

// The program's format: 44,100 Hz stereo 16-bit.
constexpr WaveFormatSpec kGeneratorWaveFormat = {44100, 2, kFormatPcm16};

// Bytes one sample of a format code takes; 0 for an unknown code.
int BytesPerSample(int format_code);

// Bytes one frame takes (bytes per sample × channels), as the table of codes says.
int BytesPerFrame(int format_code, int channel_count);

struct StreamBufferSize {
  int32_t frames;  // a multiple of the alignment, at least one group
  int32_t bytes;   // frames × bytes per frame
};

// Buffer size for a latency in seconds: rate × latency rounded to a float,
// then to the nearest frame with an exact half rounding down, then down to a
// multiple of `alignment` frames but never below one group. Non-finite or
// negative latencies count as 0; huge ones are limited to 60 s.
StreamBufferSize StreamBufferForLatency(const WaveFormatSpec& format, float latency_s,
                                        int32_t alignment);

// Latencies the settings store may hold; others are ignored (the default stays).
constexpr float kMinLatencySeconds = 0.02f;
constexpr float kMaxLatencySeconds = 0.5f;
constexpr float kDefaultLatencySeconds = 0.1f;

// Stream buffers hold a whole number of groups of this many frames.
constexpr int32_t kStreamFrameAlignment = 4;

// The buffer of a stream of 16-bit stereo at `rate` and the default latency:
// the block the program's audio thread renders (4,408 frames at 44.1 kHz).
StreamBufferSize DefaultStreamBuffer(int32_t rate);
bool IsAcceptedLatency(float latency_s);
