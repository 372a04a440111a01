// Output choices: see output_choice.h.
#include "generator/audio/output_choice.h"

#include <cstdio>
#include <cstring>

static const char* const kRateTexts[kOutputRateCount] = {"44.1 kHz", "48 kHz", "88.2 kHz", "96 kHz",
                                                         "192 kHz"};
static const char* const kWidthTexts[kOutputWidthCount] = {"16-bit", "16-bit high precision",
                                                           "24-bit high precision"};

const char* OutputRateText(int32_t rate) {
  for (int i = 0; i < kOutputRateCount; ++i) {
    if (kOutputRates[i] == rate) return kRateTexts[i];
  }
  return "";
}

const char* OutputWidthText(OutputWidth width) {
  return IsOfferedWidth(width) ? kWidthTexts[width] : "";
}

bool IsOfferedRate(int32_t rate) { return OutputRateText(rate)[0] != '\0'; }

bool IsOfferedInterface(int32_t number) { return number >= 0 && number < kOutputInterfaceCount; }

void OutputInterfaceText(OutputInterface interface_kind, int32_t mix_rate, char* out, size_t size) {
  switch (interface_kind) {
    case kInterfaceShared:
      if (mix_rate > 0) {
        std::snprintf(out, size, "WASAPI shared (%g kHz)", mix_rate / 1000.0);
      } else {
        std::snprintf(out, size, "WASAPI shared");
      }
      return;
    case kInterfaceExclusive: std::snprintf(out, size, "WASAPI exclusive (bit-exact)"); return;
    case kInterfaceWave: break;
  }
  std::snprintf(out, size, "Windows wave (waveOut)");
}

WaveFormatSpec OutputWaveFormat(int32_t rate, OutputWidth width, OutputInterface interface_kind,
                                int32_t mix_rate) {
  switch (interface_kind) {
    case kInterfaceShared: return {mix_rate > 0 ? mix_rate : rate, 2, kFormatFloat32};
    case kInterfaceExclusive:
      return {rate, 2, width == kWidth24Precise ? kFormatPcm24In32 : kFormatPcm16};
    case kInterfaceWave: break;
  }
  return {rate, 2, width == kWidth24Precise ? kFormatPcm24 : kFormatPcm16};
}

bool IsOfferedWidth(int32_t width) { return width >= 0 && width < kOutputWidthCount; }

int FindKeptDevice(const OutputChoice& kept, DeviceNameAt name_at, void* context) {
  if (!kept.device[0]) return 0;
  char name[kDeviceNameBytes];
  // Names are cut to 31 characters, so two devices may show the same one:
  // the position is what tells the kept one from the other.
  if (kept.device_position > 0 && name_at(context, kept.device_position, name) &&
      std::strcmp(name, kept.device) == 0) {
    return kept.device_position;
  }
  for (int position = 1; name_at(context, position, name); ++position) {
    if (std::strcmp(name, kept.device) == 0) return position;
  }
  return 0;
}
