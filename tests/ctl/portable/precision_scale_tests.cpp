// The precision-adjust window's steps, decimals, moves and tape rows.
#include <gtest/gtest.h>

#include <cmath>

#include "ctl/portable/precision_scale.h"

namespace {

TEST(PrecisionScale, StepsAndDecimalsFromTheRange) {
  const struct {
    float minimum, maximum;
    int decibel;
    int exponent, decimals;
    float step1;
  } cases[] = {
      {0, 1, 0, 0, 5, 0.001f},      {20, 20000, 0, 5, 1, 100.0f},
      {0, 0.5f, 0, -1, 5, 0.0001f}, {1, -1, 0, 1, 5, 0.01f},  // reversed: put in order
      {3, 3, 0, 0, 5, 0.001f},                                // no range: E = 0, nothing infinite
      {0, 1, 1, 3, 3, 1.0f},       // decibels: -inf taken as -500, so 500 dB of range
      {0.001f, 1, 1, 2, 4, 0.1f},  // -60 … 0 dB
  };
  for (const auto& c : cases) {
    PrecisionScale s;
    SetupPrecisionScale(&s, c.minimum, c.minimum, c.maximum, c.decibel);
    EXPECT_EQ(s.exponent, c.exponent) << c.minimum << " … " << c.maximum;
    EXPECT_EQ(s.decimals, c.decimals) << c.minimum << " … " << c.maximum;
    EXPECT_FLOAT_EQ(s.steps[0], c.step1);
    EXPECT_FLOAT_EQ(s.steps[1], c.step1 / 100);
    EXPECT_FLOAT_EQ(s.steps[2], c.step1 / 10000);
    EXPECT_LE(s.minimum, s.maximum);
    EXPECT_TRUE(std::isfinite(s.value) && std::isfinite(s.range));
  }
}

TEST(PrecisionScale, MovesStayInTheRangeAndDecibelsComeBack) {
  PrecisionScale s;
  SetupPrecisionScale(&s, 0.5f, 0, 1, 0);
  EXPECT_FLOAT_EQ(MovePrecisionValue(&s, 1, 7), 0.507f);
  EXPECT_FLOAT_EQ(MovePrecisionValue(&s, 2, -30), 0.4997f);
  EXPECT_FLOAT_EQ(MovePrecisionValue(&s, 3, 1000), 0.5001f);
  EXPECT_EQ(MovePrecisionValue(&s, 1, 100000), 1.0f);
  EXPECT_EQ(MovePrecisionValue(&s, 1, -100000), 0.0f);

  SetupPrecisionScale(&s, 0.0f, 0, 1, 1);  // a decibel control at 0
  EXPECT_EQ(s.value, kPrecisionDecibelFloor);
  EXPECT_EQ(PrecisionControlValue(s.value, 1), 0.0f);
  EXPECT_NEAR(PrecisionControlValue(-6.0206f, 1), 0.5f, 1e-6);
  EXPECT_EQ(PrecisionControlValue(0.25f, 0), 0.25f);
  SetPrecisionScaleValue(&s, 1.0f, 1);
  EXPECT_EQ(s.value, 0.0f);
}

TEST(PrecisionScale, TapeRowsLabelsTicksAndHatch) {
  PrecisionScale s;
  SetupPrecisionScale(&s, 0.0f, 0, 1, 0);
  const int centre = 130;
  EXPECT_EQ(TapeTopIndex(&s, 1, centre), 130);  // the minimum: higher values above
  SetPrecisionScaleValue(&s, 0.25f, 0);
  // trunc((value − minimum) / step): within one step of exact (steps are floats).
  EXPECT_NEAR(TapeTopIndex(&s, 1, centre), 130 + 250, 1);
  EXPECT_NEAR(TapeTopIndex(&s, 2, centre), 130 + 25000, 1);
  const struct {
    int zone;
    int64_t n;
    int label, tick, hatch;
  } rows[] = {{1, 50, 1, 1, 0}, {1, 10, 0, 1, 0},   {1, 7, 0, 0, 0},   {1, -2, 0, 0, 1},
              {1, -3, 0, 0, 0}, {1, 1002, 0, 0, 1}, {2, 25, 1, 1, 0},  {2, 5, 0, 1, 0},
              {3, 20, 1, 1, 0}, {3, 4, 0, 1, 0},    {3, 1000, 1, 1, 0}};
  for (const auto& r : rows) {
    const TapeRow row = PrecisionTapeRow(&s, r.zone, r.n);
    EXPECT_EQ(row.label, r.label) << r.zone << ":" << r.n;
    EXPECT_EQ(row.right_tick, r.tick) << r.zone << ":" << r.n;
    EXPECT_EQ(row.hatch, r.hatch) << r.zone << ":" << r.n;
  }
  EXPECT_FLOAT_EQ(PrecisionTapeRow(&s, 1, 500).value, 0.5f);
}

}  // namespace
