// The value block maths: see value_range.h.
#include "ctl/portable/value_range.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "ctl/portable/value_text.h"

static bool IsLogarithmic(const ValueRange* r) { return (r->style & kStyleLogarithmic) != 0; }

float KnobSpan(const ValueRange* r) {
  float span = r->start - r->end;
  if (r->start <= r->end) span += kTwoPi;
  return span;
}

float KnobSnapLimit(float span) { return span + (kTwoPi - span) * 0.5f; }

float SetupKnobRange(ValueRange* r, int start_degrees, int end_degrees) {
  r->value = r->default_value;
  r->start = static_cast<float>(start_degrees) * kDegreesToRadians;
  r->end = static_cast<float>(end_degrees) * kDegreesToRadians;
  const float span = KnobSpan(r);
  if (IsLogarithmic(r)) {
    const float ratio = r->minimum != 0.0f ? r->maximum / r->minimum : 0.0f;
    r->factor = ratio > 0.0f ? std::pow(ratio, 1.0f / span) : 1.0f;
    r->inverse_factor = 0.0f;
  } else {
    const float range = r->maximum - r->minimum;
    r->factor = range != 0.0f ? span / range : 0.0f;
    r->inverse_factor = range / span;
  }
  // A range without extent (or a logarithmic one through 0) keeps every
  // value at the start angle rather than producing infinities.
  if (!std::isfinite(r->factor) || !std::isfinite(r->inverse_factor)) {
    r->factor = IsLogarithmic(r) ? 1.0f : 0.0f;
    r->inverse_factor = 0.0f;
  }
  return span;
}

float KnobValueToAngle(const ValueRange* r, float value) {
  float distance;
  if (IsLogarithmic(r)) {
    const float log_factor = std::log(r->factor);
    distance = log_factor != 0.0f ? std::log(value / r->minimum) / log_factor : 0.0f;
  } else {
    distance = (value - r->minimum) * r->factor;
  }
  if (!std::isfinite(distance)) distance = 0.0f;
  float angle = r->start - distance;
  if (angle < 0.0f) angle += kTwoPi;
  return angle;
}

float KnobAngleToValue(const ValueRange* r, float angle) {
  const float distance = angle > r->start ? r->start + kTwoPi - angle : r->start - angle;
  if (IsLogarithmic(r)) return std::pow(r->factor, distance) * r->minimum;
  return distance * r->inverse_factor + r->minimum;
}

int KnobPointerAngle(const ValueRange* r, float span, float dx, float dy, float* angle) {
  const float radius = std::sqrt(dx * dx + dy * dy);
  if (!(radius > 8.0f)) return 0;
  float a = std::acos(dx / radius);
  if (dy < 1.0f) a = kTwoPi - a;
  float along = r->start - a;
  if (a >= r->start) along += kTwoPi;
  if (along > span) a = along > KnobSnapLimit(span) ? r->start : r->end;
  *angle = a;
  return 1;
}

void SetupSliderRange(ValueRange* r, float minimum_position, float maximum_position) {
  r->value = r->default_value;
  r->start = minimum_position;
  r->end = maximum_position;
  const float extent = maximum_position - minimum_position;
  const float range = r->maximum - r->minimum;
  if (extent == 0.0f || range == 0.0f) {
    r->factor = 0.0f;
    r->inverse_factor = 0.0f;
    return;
  }
  r->factor = extent / range;
  r->inverse_factor = range / extent;
  if (!std::isfinite(r->factor) || !std::isfinite(r->inverse_factor)) {
    r->factor = 0.0f;
    r->inverse_factor = 0.0f;
  }
}

float SliderValueToPosition(const ValueRange* r, float value) {
  return (value - r->minimum) * r->factor + r->start;
}

float SliderPositionToValue(const ValueRange* r, float position) {
  return ClampToRange(r, (position - r->start) * r->inverse_factor + r->minimum);
}

float RangeLow(const ValueRange* r) { return r->minimum < r->maximum ? r->minimum : r->maximum; }
float RangeHigh(const ValueRange* r) { return r->minimum < r->maximum ? r->maximum : r->minimum; }

float ClampToRange(const ValueRange* r, float value) {
  if (std::isnan(value)) return r->minimum;
  if (value < RangeLow(r)) return RangeLow(r);
  if (value > RangeHigh(r)) return RangeHigh(r);
  return value;
}

int RangeHolds(const ValueRange* r, float value) {
  return value >= RangeLow(r) && value <= RangeHigh(r);
}

int RangeAccepts(const ValueRange* r, float value) {
  return RangeHolds(r, value) && value != r->value;
}

int SetRangeValue(ValueRange* r, float value) {
  if (!RangeAccepts(r, value)) return 0;
  r->value = value;
  return 1;
}

int StepRangeValue(ValueRange* r, int units) {
  const float moved = IsLogarithmic(r) ? r->value * std::pow(r->step, static_cast<float>(units))
                                       : r->value + r->step * static_cast<float>(units);
  const float value = ClampToRange(r, moved);
  if (value == r->value) return 0;
  r->value = value;
  return 1;
}

float FiniteFloat(double value) {
  if (std::isnan(value)) return 0.0f;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

float DecibelsOf(float value) { return 20.0f * std::log10(value); }

float ValueOfDecibels(double decibels) {
  return FiniteFloat(std::pow(10.0, decibels * 0.05));
}

int ReadDecibelAnswer(const ValueRange* r, const char* text, float* value) {
  if (IsMinusInfinity(text)) {
    *value = RangeLow(r);
    return 1;
  }
  long double decibels = 0;
  if (!ParseTypedValue(text, &decibels)) return 0;
  *value = ValueOfDecibels(static_cast<double>(decibels));
  return 1;
}

int FormatRangeValue(const ValueRange* r, float value, int sign, char* out, size_t out_size) {
  return FormatShownValue(value, static_cast<int>(r->decimals & 0xFF),
                          (r->style & kStyleDecibel) != 0, sign, out, out_size);
}
