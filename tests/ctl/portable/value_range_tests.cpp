// The knob and slider value maths against the worked examples of both
// controls: angles, pointer snapping, thumb positions, stepping, range rule.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ctl/portable/value_range.h"
#include "ctl/portable/value_text.h"

namespace {

constexpr float kPi = 3.14159265f;

ValueRange Range(float minimum, float maximum, float default_value, float step, uint32_t style) {
  ValueRange r = {};
  r.minimum = minimum;
  r.maximum = maximum;
  r.default_value = default_value;
  r.step = step;
  r.decimals = 3;
  r.style = style;
  return r;
}

TEST(ValueRange, AnglesSpanAndRoundTrip) {
  struct Case {
    int start, end;
    float span_degrees;
    uint32_t style;
    float minimum, maximum;
  } cases[] = {
      {225, 315, 270, 0, 0.0f, 1.0f},  // through the top
      {225, 45, 180, 0, -1.0f, 1.0f},  // the other half-turn
      {225, 315, 270, kStyleLogarithmic, 20.0f, 20000.0f},
  };
  for (const Case& c : cases) {
    ValueRange r = Range(c.minimum, c.maximum, c.minimum, 0.1f, c.style);
    const float span = SetupKnobRange(&r, c.start, c.end);
    EXPECT_NEAR(span, c.span_degrees * kPi / 180, 1e-5);
    EXPECT_NEAR(KnobValueToAngle(&r, c.minimum), c.start * kPi / 180, 1e-5);
    EXPECT_NEAR(KnobValueToAngle(&r, c.maximum), c.end * kPi / 180, 1e-4);
    // The middle of the sweep (geometric middle on a log scale) points up
    // for the 270° knobs and left-up for the 180° one.
    const float middle = c.style ? std::sqrt(c.minimum * c.maximum) : (c.minimum + c.maximum) / 2;
    const float up = (c.start - c.span_degrees / 2) * kPi / 180;
    EXPECT_NEAR(KnobValueToAngle(&r, middle), up, 1e-4);
    for (float t = 0; t <= 1.0f; t += 0.125f) {
      const float v = c.style ? c.minimum * std::pow(c.maximum / c.minimum, t)
                              : c.minimum + t * (c.maximum - c.minimum);
      EXPECT_NEAR(KnobAngleToValue(&r, KnobValueToAngle(&r, v)), v, std::fabs(v) * 1e-4 + 1e-5);
    }
  }
}

TEST(ValueRange, PointerAngleIgnoresTheCentreAndSnapsTheDeadZone) {
  ValueRange r = Range(0, 1, 0, 0.01f, 0);
  const float span = SetupKnobRange(&r, 225, 315);
  float angle = -1;
  EXPECT_EQ(KnobPointerAngle(&r, span, 5, 6, &angle), 0);  // r ≤ 8
  EXPECT_EQ(angle, -1);
  ASSERT_EQ(KnobPointerAngle(&r, span, 0, 20, &angle), 1);  // straight up
  EXPECT_NEAR(angle, kPi / 2, 1e-5);
  KnobPointerAngle(&r, span, -5, -20, &angle);  // below, left of the gap: the start
  EXPECT_EQ(angle, r.start);
  KnobPointerAngle(&r, span, 5, -20, &angle);  // below, right of the gap: the end
  EXPECT_EQ(angle, r.end);
  KnobPointerAngle(&r, span, 20, 0, &angle);  // dy < 1 counts as below the axis
  EXPECT_NEAR(angle, kTwoPi, 1e-5);
}

TEST(ValueRange, SteppingClampsAndStoresOnlyChanges) {
  ValueRange linear = Range(0, 1, 0.2f, 0.05f, 0);
  SetupKnobRange(&linear, 225, 315);
  EXPECT_EQ(StepRangeValue(&linear, 10), 1);  // Up arrow: 10 units
  EXPECT_NEAR(linear.value, 0.7f, 1e-6);
  EXPECT_EQ(StepRangeValue(&linear, 10), 1);
  EXPECT_EQ(linear.value, 1.0f);
  EXPECT_EQ(StepRangeValue(&linear, 1), 0);  // already at the top

  ValueRange log = Range(20, 20000, 100, 1.01f, kStyleLogarithmic);
  SetupKnobRange(&log, 225, 315);
  StepRangeValue(&log, 100);  // 100 pixels to the right
  EXPECT_NEAR(log.value, 100 * std::pow(1.01, 100), 0.01);
  log.value = 10000;
  StepRangeValue(&log, 100);
  EXPECT_EQ(log.value, 20000.0f);
  StepRangeValue(&log, -2000);
  EXPECT_EQ(log.value, 20.0f);

  // The owner's rule: inside the bounds and different.
  EXPECT_EQ(SetRangeValue(&linear, 1.5f), 0);
  EXPECT_EQ(SetRangeValue(&linear, 1.0f), 0);
  EXPECT_EQ(SetRangeValue(&linear, NAN), 0);
  EXPECT_EQ(SetRangeValue(&linear, 0.25f), 1);
  EXPECT_EQ(linear.value, 0.25f);
}

TEST(ValueRange, DegenerateRangesStayFinite) {
  ValueRange flat = Range(5, 5, 5, 0.1f, 0);
  SetupKnobRange(&flat, 225, 315);
  EXPECT_EQ(KnobValueToAngle(&flat, 5), flat.start);
  EXPECT_EQ(KnobAngleToValue(&flat, 1.0f), 5.0f);
  ValueRange log_through_zero = Range(0, 10, 1, 1.01f, kStyleLogarithmic);
  SetupKnobRange(&log_through_zero, 225, 315);
  EXPECT_TRUE(std::isfinite(KnobValueToAngle(&log_through_zero, 1)));
  ValueRange slider = Range(-1, -1, -1, 0.01f, 0);
  SetupSliderRange(&slider, 0, 108);
  EXPECT_EQ(SliderValueToPosition(&slider, -1), 0.0f);
  EXPECT_EQ(SliderPositionToValue(&slider, 50), -1.0f);
  ValueRange short_track = Range(-1, 1, 0, 0.01f, 0);
  SetupSliderRange(&short_track, 0, 0);  // track no longer than the thumb
  EXPECT_EQ(SliderPositionToValue(&short_track, 30), -1.0f);
}

TEST(SliderRange, PositionsReversedRangesAndWheel) {
  // Width 128, margins 0, a 20-pixel thumb: positions 0 … 108.
  ValueRange r = Range(-1, 1, 0, 0.01f, 0);
  SetupSliderRange(&r, 0, 108);
  EXPECT_EQ(SliderValueToPosition(&r, -1), 0.0f);
  EXPECT_EQ(SliderValueToPosition(&r, 1), 108.0f);
  EXPECT_NEAR(SliderPositionToValue(&r, 60 - 10), 50.0f / 54 - 1, 1e-6);  // press at x = 60
  EXPECT_EQ(SliderPositionToValue(&r, 500), 1.0f);
  StepRangeValue(&r, -5);  // a wheel notch up on a horizontal slider
  EXPECT_NEAR(r.value, -0.05f, 1e-6);

  ValueRange reversed = Range(1, -1, 0, 0.1f, 0);
  SetupSliderRange(&reversed, 0, 108);
  EXPECT_EQ(SliderValueToPosition(&reversed, 1), 0.0f);
  EXPECT_EQ(SliderPositionToValue(&reversed, -20), 1.0f);
  EXPECT_EQ(SliderPositionToValue(&reversed, 200), -1.0f);
  StepRangeValue(&reversed, 30);
  EXPECT_EQ(reversed.value, 1.0f);
  EXPECT_EQ(SetRangeValue(&reversed, -0.5f), 1);
  EXPECT_EQ(SetRangeValue(&reversed, 1.5f), 0);
}

// How values are shown in pop-ups (range decimals, no sign) and menus
// (explicit sign; 6 decimals, 1 in decibels).
TEST(ShownValue, PlainDecibelAndSign) {
  const struct {
    float value;
    int decimals, decibel, sign;
    const char* text;
  } cases[] = {
      {0.25f, 3, 0, 0, "0.250"},         {0.25f, 3, 0, 1, "+0.250"},
      {0.0f, 6, 0, 1, "0.000000"},       {-80.0f, 6, 0, 1, "-80.000000"},
      {20000, 6, 0, 1, "+20000.000000"}, {1.0f, 3, 1, 0, "0.000"},
      {1.0f, 3, 1, 1, "0.000"},  // zero gets no sign
      {0.5f, 3, 1, 0, "-6.021"},         {0.5f, 1, 1, 1, "-6.0"},
      {0.0f, 3, 1, 0, "- inf"},          {1e-30f, 3, 1, 0, "- inf"},  // -600 dB
      {-1.0f, 3, 1, 0, "- inf"},
  };
  for (const auto& c : cases) {
    char text[64];
    FormatShownValue(c.value, c.decimals, c.decibel, c.sign, text, sizeof text);
    EXPECT_EQ(std::string(text), c.text) << c.value;
  }
  // A control's range supplies the decimals and the decibel style.
  ValueRange r = Range(0, 1, 0, 0.1f, kStyleDecibel);
  char text[64];
  FormatRangeValue(&r, 0.5f, 0, text, sizeof text);
  EXPECT_STREQ(text, "-6.021");
  EXPECT_NEAR(ValueOfDecibels(-6.0206), 0.5f, 1e-6);
  EXPECT_EQ(ValueOfDecibels(1e6), FLT_MAX);
}

}  // namespace
