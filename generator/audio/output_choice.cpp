// Output choices: see output_choice.h.
#include "generator/audio/output_choice.h"

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
