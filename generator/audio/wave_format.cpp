// Wave format arithmetic shared by the stream and its tests.
#include "generator/audio/wave_format.h"

#include <cmath>

int BytesPerSample(int format_code) {
  switch (format_code) {
    case kFormatPcm8: return 1;
    case kFormatPcm16: return 2;
    case kFormatPcm24: return 3;
    case kFormatFloat32: return 4;
    case kFormatFloat64: return 8;
    case 32:
    case 64:
    case 128:
    case 256:
    case 512: return 4;
    default: return 0;
  }
}

int BytesPerFrame(int format_code, int channel_count) {
  return BytesPerSample(format_code) * channel_count;
}

StreamBufferSize StreamBufferForLatency(const WaveFormatSpec& format, float latency_s,
                                        int32_t alignment) {
  if (alignment < 1) alignment = 1;
  const float x = static_cast<float>(format.sample_rate) * latency_s;
  double frames_exact = x;
  if (!(frames_exact > 0.0) || frames_exact - frames_exact != 0.0) frames_exact = 0.0;  // NaN, inf
  const double limit = 60.0 * (format.sample_rate > 0 ? format.sample_rate : 0);
  if (frames_exact > limit) frames_exact = limit;
  const double whole = std::floor(frames_exact);
  const int32_t n = static_cast<int32_t>(whole) + (frames_exact - whole > 0.5 ? 1 : 0);
  int32_t groups = n / alignment;
  if (groups == 0) groups = 1;
  StreamBufferSize size;
  size.frames = groups * alignment;
  size.bytes = BytesPerFrame(format.format_code, format.channel_count) * size.frames;
  return size;
}

StreamBufferSize DefaultStreamBuffer(int32_t rate) {
  const WaveFormatSpec format = {rate, kGeneratorWaveFormat.channel_count,
                                 kGeneratorWaveFormat.format_code};
  return StreamBufferForLatency(format, kDefaultLatencySeconds, kStreamFrameAlignment);
}

bool IsAcceptedLatency(float latency_s) {
  return latency_s >= kMinLatencySeconds && latency_s <= kMaxLatencySeconds;
}
