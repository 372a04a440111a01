// The precision-adjust arithmetic: see precision_scale.h.
#include "ctl/portable/precision_scale.h"

#include <cmath>

static const int kLabelEvery[kPrecisionZones] = {50, 25, 20};
static const int kTickEvery[kPrecisionZones] = {10, 5, 4};

static int ZoneIndex(int zone) { return zone < 1 ? 0 : zone > kPrecisionZones ? 2 : zone - 1; }

static float Decibels(float value) {
  const float db = 20.0f * std::log10(value);
  return std::isfinite(db) ? db : kPrecisionDecibelFloor;
}

void SetPrecisionScaleValue(PrecisionScale* s, float value, int decibel) {
  s->value = decibel ? Decibels(value) : value;
  if (!std::isfinite(s->value)) s->value = s->minimum;
}

void SetupPrecisionScale(PrecisionScale* s, float value, float minimum, float maximum,
                         int decibel) {
  // Decibel bounds stay exact: truncating them toward zero would move a
  // negative maximum (0.5 is -6.02 dB) past the control's range.
  if (decibel) {
    minimum = Decibels(minimum);
    maximum = Decibels(maximum);
  }
  if (!std::isfinite(minimum)) minimum = 0.0f;
  if (!std::isfinite(maximum)) maximum = minimum;
  if (maximum < minimum) {
    const float swap = minimum;
    minimum = maximum;
    maximum = swap;
  }
  s->minimum = minimum;
  s->maximum = maximum;
  s->range = maximum - minimum;
  SetPrecisionScaleValue(s, value, decibel);
  // log10 of a range of 0 has no finite exponent: such a scale uses E = 0.
  const double a = s->range > 0.0f && std::isfinite(s->range) ? std::log10(s->range) : 0.0;
  s->exponent = static_cast<int>(a >= 0.0 ? std::ceil(a) : std::floor(a));
  const float r = static_cast<float>(std::pow(10.0, s->exponent));
  int d = 6 - s->exponent;
  s->decimals = d < 1 ? 1 : d > 5 ? 5 : d;
  s->steps[0] = r * 0.001f;
  s->steps[1] = r * 0.00001f;
  s->steps[2] = r * 1e-7f;
}

float MovePrecisionValue(const PrecisionScale* s, int zone, int delta) {
  float v = s->value + s->steps[ZoneIndex(zone)] * static_cast<float>(delta);
  if (v > s->maximum) v = s->maximum;
  if (!(v >= s->minimum)) v = s->minimum;
  return v;
}

float PrecisionControlValue(float scale_value, int decibel) {
  if (!decibel) return scale_value;
  if (scale_value <= kPrecisionDecibelFloor) return 0.0f;
  const double value = std::pow(10.0, scale_value * 0.05);
  return value < 3.4e38 ? static_cast<float>(value) : 3.4e38f;
}

int64_t TapeTopIndex(const PrecisionScale* s, int zone, int centre_row) {
  const float step = s->steps[ZoneIndex(zone)];
  double steps = step > 0.0f ? std::trunc((s->value - s->minimum) / step) : 0.0;
  // The value stays within the range, so this is at most about 10^7 steps;
  // the bound only guards the conversion.
  if (!(steps > -1e15)) steps = 0.0;
  if (steps > 1e15) steps = 1e15;
  return centre_row + static_cast<int64_t>(steps);
}

TapeRow PrecisionTapeRow(const PrecisionScale* s, int zone, int64_t n) {
  const int k = ZoneIndex(zone);
  TapeRow row;
  row.value = s->minimum + static_cast<float>(n) * s->steps[k];
  row.in_range = row.value >= s->minimum && row.value <= s->maximum;
  row.label = row.in_range && n % kLabelEvery[k] == 0;
  row.right_tick = row.in_range && n % kTickEvery[k] == 0;
  row.hatch = !row.in_range && n % 2 == 0;
  return row;
}
