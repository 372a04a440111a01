// The display's captions: see signal_caption.h.
#include "generator/panel/signal_caption.h"

#include <cmath>
#include <cstdio>

namespace {

const char* const kWaveNames[] = {"SINE", "TRIANGLE", "SAWTOOTH", "SQUARE"};

struct NoiseCaption {
  GeneratorNoiseType type;
  const char* text;
};
constexpr NoiseCaption kNoiseCaptions[] = {
    {kNoiseImpulse, "IMPULSE"},
    {kNoisePinkMono, "PINK NOISE"},
    {kNoisePinkAntiPhase, "PINK NOISE ANTI-PHASE"},
    {kNoisePinkStereo, "PINK NOISE STEREO"},
    {kNoiseMultiTone, "MULTI-TONE"},
    {kNoiseWhite, "WHITE NOISE"},
    {kNoiseBrown, "BROWN NOISE"},
    {kNoisePeriodicWhite, "PERIODIC WHITE NOISE"},
    {kNoisePeriodicPink, "PERIODIC PINK NOISE"},
    {kNoiseMls, "MLS"},
};

// The sweep's law as the display names it.
const char* SweepName(int32_t flags) {
  if (flags & kSweepStepped) return "STEPPED SINE";
  if (flags & kSweepLinear) return "LIN SWEEP";
  if (flags & kSweepSynchronised) return "SYNC SWEEP";
  return "LOG SWEEP";
}

void WaveCaption(const GeneratorSettings& s, char* out, size_t size) {
  const bool known = s.waveform >= 0 && s.waveform < 4;
  if (!known) {
    std::snprintf(out, size, "SILENCE");
    return;
  }
  char low[24], high[24];
  if (s.sweep_flags & kSweepOn) {
    FrequencyCaption(s.sweep_start_hz, low, sizeof low);
    FrequencyCaption(s.sweep_end_hz, high, sizeof high);
    // A sweep of the sine is named by its law alone; the stepped sweep
    // steps a sine whatever the waveform.
    const bool plain = s.waveform == kWaveSine || (s.sweep_flags & kSweepStepped);
    std::snprintf(out, size, "%s%s%s %s - %s", plain ? "" : kWaveNames[s.waveform],
                  plain ? "" : " ", SweepName(s.sweep_flags), low, high);
    return;
  }
  FrequencyCaption(s.frequency_hz, low, sizeof low);
  std::snprintf(out, size, "%s %s", kWaveNames[s.waveform], low);
}

}  // namespace

void FrequencyCaption(double hz, char* out, size_t size) {
  if (!std::isfinite(hz)) {
    std::snprintf(out, size, "?");
  } else if (hz >= 1000.0) {
    std::snprintf(out, size, "%.4g kHz", hz / 1000.0);
  } else {
    std::snprintf(out, size, "%.4g Hz", hz);
  }
}

void SignalCaption(const GeneratorSettings& s, char* out, size_t size) {
  switch (s.source) {
    case kSourceWaveform: WaveCaption(s, out, size); return;
    case kSourceNoise:
      for (const NoiseCaption& noise : kNoiseCaptions) {
        if (noise.type == s.noise_type) {
          std::snprintf(out, size, "%s", noise.text);
          return;
        }
      }
      break;
    case kSourceTestSignal:
      for (const TwinToneRow& twin : kTwinTones) {
        if (twin.signal == s.test_signal) {
          std::snprintf(out, size, "%s TWIN TONE", twin.standard);
          return;
        }
      }
      if (s.test_signal == kTestJTest) {
        std::snprintf(out, size, "J-TEST");
        return;
      }
      if (s.test_signal == kTestBurst) {
        char frequency[24];
        FrequencyCaption(s.frequency_hz, frequency, sizeof frequency);
        std::snprintf(out, size, "TONE BURST %s", frequency);
        return;
      }
      break;
    default: break;
  }
  std::snprintf(out, size, "SILENCE");  // what a number the engine does not know plays
}

void LevelCaption(const GeneratorSettings& s, const LevelView& view, char* out, size_t size) {
  if (s.source == kSourceTestSignal && s.test_signal == kTestJTest) {
    std::snprintf(out, size, "OWN LEVEL");
    return;
  }
  const double total = static_cast<double>(s.level_db) + s.gain_db;
  if (ShowsBenchUnit(view)) {
    FormatLevel(total, view.unit, view.full_scale_volts, out, size);
  } else if (std::fabs(total - std::round(total)) < 0.05) {
    std::snprintf(out, size, "%.0f dBFS", std::round(total) + 0.0);  // no "-0"
  } else {
    std::snprintf(out, size, "%.1f dBFS", total);
  }
}
