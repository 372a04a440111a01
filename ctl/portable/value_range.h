// The value block of the knob and the slider, and the maths both controls
// and the precision-adjust window use on it: value to angle and back, value
// to thumb position and back, stepping, the owner's range rule and the
// decibel display. Portable: no Windows API.
//
// A ValueRange is filled by the creator ({minimum, maximum, default, step,
// decimals, style}); SetupKnobRange or SetupSliderRange then derive the
// value and the geometry. Angles are radians, 0 pointing right and growing
// counter-clockwise, in [0, 2π); a knob turns clockwise from its start
// angle to its end angle. All arithmetic is single precision, as stored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ctl/control_style.h"  // kStyleDecibel, kStyleLogarithmic in the range's style

constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kTwoPi = 6.2831855f;

struct ValueRange {
  float minimum;
  float maximum;
  float default_value;
  float step;         // linear: added per unit; logarithmic: factor per unit
  uint32_t decimals;  // low 8 bits count
  uint32_t style;
  float value;
  float start;   // knob: angle of the minimum; slider: position of the minimum
  float end;     // knob: angle of the maximum; slider: position of the maximum
  float factor;  // linear: span ÷ (maximum − minimum); log: (maximum ÷ minimum)^(1 ÷ span)
  float inverse_factor;  // linear: (maximum − minimum) ÷ span
};
static_assert(sizeof(ValueRange) == 44, "value block layout");
static_assert(offsetof(ValueRange, decimals) == 16, "value block layout");
static_assert(offsetof(ValueRange, value) == 24, "value block layout");
static_assert(offsetof(ValueRange, inverse_factor) == 40, "value block layout");

// ---------------------------------------------------------------------------
// Knob.

// Sets value = default, the angles from whole degrees and the factors.
// Returns the span: start − end, plus 2π when start ≤ end.
float SetupKnobRange(ValueRange* range, int start_degrees, int end_degrees);

// The span of a set-up range (start − end, plus 2π when start ≤ end).
float KnobSpan(const ValueRange* range);

// The middle of the dead zone, measured clockwise from the start angle.
float KnobSnapLimit(float span);

// The angle at which `value` is drawn.
float KnobValueToAngle(const ValueRange* range, float value);

// The value at angle `angle` (no clamping: callers keep it in the sweep).
float KnobAngleToValue(const ValueRange* range, float angle);

// The angle of a pointer at (dx, dy) from the knob's centre (dy upward),
// snapped into the sweep: in the dead zone to the start angle past the snap
// limit, else to the end angle. Returns 0 (and leaves *angle) when the
// pointer is within 8 pixels of the centre.
int KnobPointerAngle(const ValueRange* range, float span, float dx, float dy, float* angle);

// ---------------------------------------------------------------------------
// Slider.

// Sets value = default and the positions of the minimum and maximum (left or
// top edge of the thumb) with the factors. A range or a track with no extent
// gets factors 0, so every position reads the minimum and every value sits
// at the minimum's position.
void SetupSliderRange(ValueRange* range, float minimum_position, float maximum_position);

// The thumb position of `value`.
float SliderValueToPosition(const ValueRange* range, float value);

// The value at thumb position `position`, clamped between the bounds.
float SliderPositionToValue(const ValueRange* range, float position);

// ---------------------------------------------------------------------------
// Both.

float RangeLow(const ValueRange* range);   // the lower of minimum and maximum
float RangeHigh(const ValueRange* range);  // the higher of minimum and maximum

// `value` clamped between the bounds (NaN gives the minimum).
float ClampToRange(const ValueRange* range, float value);

// 1 when `value` lies between the bounds (NaN never does).
int RangeHolds(const ValueRange* range, float value);

// The owner's rule: 1 when `value` lies between the bounds and differs from
// the present value.
int RangeAccepts(const ValueRange* range, float value);

// Sets the value when RangeAccepts it. Returns 1 when it changed.
int SetRangeValue(ValueRange* range, float value);

// Steps by `units`: logarithmic scale multiplies by step^units, linear adds
// step × units; clamped between the bounds; stored only when it differs.
// Returns 1 when the value changed.
int StepRangeValue(ValueRange* range, int units);

// `value` as a float, clamped to ± the largest finite float; NaN gives 0.
float FiniteFloat(double value);

// 20·log10(value) (−inf for 0).
float DecibelsOf(float value);

// The value of 20·log10(value) = `decibels`, that is 10^(decibels × 0.05).
float ValueOfDecibels(double decibels);

// Reads a typed decibel answer: "- inf" and "-inf" (any case, blanks
// anywhere) are the lowest value of the range, a text with a digit is
// 10^(dB × 0.05); anything else reads as nothing (returns 0).
int ReadDecibelAnswer(const ValueRange* range, const char* text, float* value);

// Writes how a control shows `value`: FormatValue with the range's decimals,
// no integer digits, `sign`; in decibel style 20·log10(value), and "- inf"
// below −500 dB. Returns the length.
int FormatRangeValue(const ValueRange* range, float value, int sign, char* out, size_t out_size);
