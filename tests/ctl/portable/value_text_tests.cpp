// Number text and preference rules of the control library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "ctl/portable/preferences.h"
#include "ctl/portable/value_text.h"

namespace {

std::string Format(float value, int decimals, int digits, int sign) {
  char text[64];
  const uint8_t length = FormatValue(value, text, sizeof text, static_cast<uint8_t>(decimals),
                                     static_cast<uint8_t>(digits), sign);
  EXPECT_EQ(length, std::strlen(text));
  return text;
}

TEST(FormatValue, BuildsThePrintfFormat) {
  EXPECT_EQ(Format(1.23456f, 3, 0, 0), "1.235");             // %.3f
  EXPECT_EQ(Format(2.5f, 0, 0, 0), "2");                     // ".0": no decimals
  EXPECT_EQ(Format(3.14159f, 2, 6, 1), "+03.14");            // %+06.2f
  EXPECT_EQ(Format(-3.14159f, 2, 6, 1), "-03.14");
  EXPECT_EQ(Format(0.0f, 2, 6, 1), "000.00");                // no "+" for zero
  EXPECT_EQ(Format(-10.0f, 1, 0, 0), "-10.0");
  EXPECT_EQ(Format(1000.0f, 1, 0, 1), "+1000.0");
  EXPECT_EQ(Format(7.0f, 0, 3, 0), "007");
  // Bounded output: a tiny buffer is cut, the length says what fits.
  char small[4];
  EXPECT_EQ(FormatValue(12345.0f, small, sizeof small, 2, 0, 0), 3);
  EXPECT_STREQ(small, "123");
  char huge[400];
  EXPECT_EQ(FormatValue(3e38f, huge, sizeof huge, 250, 0, 0), 255);  // length is 8-bit
}

TEST(ParseValue, ForgivingRules) {
  EXPECT_EQ(ParseValue(""), 0);
  EXPECT_EQ(ParseValue("abc"), 0);
  EXPECT_EQ(ParseValue("42"), 42);
  EXPECT_NEAR(static_cast<double>(ParseValue("3.25")), 3.25, 1e-15);
  EXPECT_NEAR(static_cast<double>(ParseValue("3,25")), 3.25, 1e-15);  // comma decimal
  EXPECT_NEAR(static_cast<double>(ParseValue(".5")), 0.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(ParseValue(",75")), 0.75, 1e-15);
  EXPECT_EQ(ParseValue("-12"), -12);
  EXPECT_EQ(ParseValue("x-y 12"), -12);  // "-" anywhere before the digits
  EXPECT_EQ(ParseValue("Hz 440 Hz"), 440);
  EXPECT_EQ(ParseValue("12a34"), 12);   // any other character ends it
  EXPECT_NEAR(static_cast<double>(ParseValue("1.5.7")), 1.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(ParseValue("-0.001")), -0.001, 1e-15);
  // At most 53 integer digits: the 54th ends the number.
  const std::string digits(60, '1');
  const long double parsed = ParseValue(digits.c_str());
  EXPECT_NEAR(static_cast<double>(parsed / std::pow(10.0L, 52)), 1.1111111111, 1e-9);
  // At most 52 fraction digits.
  EXPECT_EQ(ParseValue(("0." + std::string(52, '0') + "5").c_str()), 0);
  EXPECT_GT(ParseValue(("0." + std::string(51, '0') + "5").c_str()), 0);
  EXPECT_EQ(ParseValue(nullptr), 0);
}

TEST(Preferences, DefaultsAndRules) {
  ControlPreferences p;
  DefaultPreferences(&p);
  EXPECT_EQ(p.rot_mode, 1u);
  EXPECT_EQ(p.infovalue, 0x80000003u);
  EXPECT_EQ(p.s_capture, 1u);
  EXPECT_EQ(p.rot_latency, 0u);
  // The time-entry context: a quarter note, replace on, 120 BPM, field 10,
  // 44.1 kHz, 96 tics, 4/4, 25 frames per second.
  const uint8_t expected[44] = {2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                                1, 0, 0, 0, 0, 0, 0xF0, 0x42, 10, 0, 0, 0, 0x44, 0xAC, 0, 0,
                                96, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0xC8, 0x41};
  EXPECT_EQ(std::memcmp(p.dial_tctx, expected, 44), 0);

  const uint8_t latency_501[4] = {0xF5, 0x01, 0, 0};
  EXPECT_EQ(AcceptPreference(&p, kPrefRotLatency, true, latency_501, 4), 1);
  EXPECT_EQ(p.rot_latency, 0u);
  const uint8_t latency_300[4] = {0x2C, 0x01, 0, 0};
  AcceptPreference(&p, kPrefRotLatency, true, latency_300, 4);
  EXPECT_EQ(p.rot_latency, 300u);
  const uint8_t huge[4] = {0xFF, 0xFF, 0xFF, 0xFF};  // compared unsigned: 0
  AcceptPreference(&p, kPrefRotLatency, true, huge, 4);
  EXPECT_EQ(p.rot_latency, 0u);
  const uint8_t seven[4] = {7, 0, 0, 0};
  AcceptPreference(&p, kPrefSCapture, true, seven, 4);
  EXPECT_EQ(p.s_capture, 1u);
  AcceptPreference(&p, kPrefRotMode, true, seven, 4);
  EXPECT_EQ(p.rot_mode, 7u);  // any value
  // Wrong type or size: the default stays.
  EXPECT_EQ(AcceptPreference(&p, kPrefKeyboardType, false, seven, 4), 0);
  EXPECT_EQ(AcceptPreference(&p, kPrefKeyboardType, true, seven, 2), 0);
  EXPECT_EQ(AcceptPreference(&p, kPrefDialTCtx, true, expected, 40), 0);
  EXPECT_EQ(p.keyboard_type, 0u);
}

TEST(Preferences, PopupCornerClamped) {
  EXPECT_EQ(ValuePopupCorner(0x80000003u), 3);
  EXPECT_EQ(ValuePopupCorner(0x80000001u), 1);
  EXPECT_EQ(ValuePopupCorner(0x80000000u), 1);  // hand-edited: clamped
  EXPECT_EQ(ValuePopupCorner(0x8000000Fu), 4);
}

}  // namespace
