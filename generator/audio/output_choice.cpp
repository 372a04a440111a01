// Output choices: see output_choice.h.
#include "generator/audio/output_choice.h"

#include <cstring>

static const char* const kRateTexts[kOutputRateCount] = {"44.1 kHz", "48 kHz", "88.2 kHz",
                                                         "96 kHz", "192 kHz"};
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
