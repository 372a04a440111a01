// The arithmetic of the precision-adjust window: the three step sizes from
// a control's range (a thousandth, a hundred-thousandth and a ten-millionth
// of it, rounded to a power of ten), the decimals its labels need, moving
// the value, and what each row of the three tape scales shows. Portable.
#pragma once

#include <cstdint>

constexpr int kPrecisionZones = 3;

// Decibel bounds and values that are not finite (a minimum of 0 gives
// -inf) are taken as this, where the value text already reads "- inf".
constexpr float kPrecisionDecibelFloor = -500.0f;

struct PrecisionScale {
  float value;  // in decibels for a decibel control
  float minimum;
  float maximum;
  float range;  // maximum − minimum
  float steps[kPrecisionZones];
  int exponent;  // E: R = 10^E is the range rounded up to a power of ten
  int decimals;  // D: 6 − E in 1 … 5
};

// Loads value, minimum and maximum (as 20·log10 of each for a decibel
// control), puts the bounds in order and derives the steps and decimals. A range of 0 counts as E = 0.
void SetupPrecisionScale(PrecisionScale* scale, float value, float minimum, float maximum,
                         int decibel);

// Reloads only the value, converted as at setup.
void SetPrecisionScaleValue(PrecisionScale* scale, float value, int decibel);

// The value moved by `delta` steps of zone 1 … 3, limited to the maximum
// and then to at least the minimum.
float MovePrecisionValue(const PrecisionScale* scale, int zone, int delta);

// What the control is given for a scale value: the value itself, or
// 10^(value × 0.05) for a decibel control (0 at the floor or below).
float PrecisionControlValue(float scale_value, int decibel);

// One row of a tape scale.
struct TapeRow {
  float value;     // minimum + n × step
  int in_range;    // minimum ≤ value ≤ maximum
  int label;       // in range, n a multiple of the label interval: left tick and label
  int right_tick;  // in range, n a multiple of the tick interval
  int hatch;       // out of range and n even: a full-width line
};

// The index n of the top row (row 1) of zone 1 … 3 for a scale whose centre
// row is `centre_row`; each row below it has n one lower.
int64_t TapeTopIndex(const PrecisionScale* scale, int zone, int centre_row);

// What row n of zone 1 … 3 shows.
TapeRow PrecisionTapeRow(const PrecisionScale* scale, int zone, int64_t n);
