// The level in a test bench's units: the arithmetic against hand-worked
// figures, the texts, what typing takes and refuses, calibration and its
// registry text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "generator/panel/level_units.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

// The level of `volts` RMS at a full scale of 2 V.
double At2V(double volts) { return 20.0 * std::log10(volts / 2.0); }

std::string Format(double dbfs, LevelUnit unit, double full_scale) {
  char text[64];
  FormatLevel(dbfs, unit, full_scale, text, sizeof text);
  return text;
}

// The texts at their edges (the arithmetic itself is measured through
// genrender and the device): three figures, millivolts below 1 V, a
// rounding that carries, silence, no calibration.
TEST(LevelUnits, Texts) {
  struct Row {
    double dbfs;
    LevelUnit unit;
    double full_scale;
    const char* text;
  };
  const Row rows[] = {
      {-6.0206, kLevelVoltsPeakToPeak, 2.0, "2.83 Vpp"},
      {-6.0206, kLevelDbu, 2.0, "+2.2 dBu"},
      {-6.0206, kLevelDbv, 2.0, "+0.0 dBV"},
      {-6.0206, kLevelDbu, 0.0, "-6.0 dBFS"},  // uncalibrated: dBFS
      {0.0, kLevelVoltsPeakToPeak, 100.0, "283 Vpp"},
      {At2V(0.000775), kLevelVoltsRms, 2.0, "0.775 mV"},
      {At2V(0.9996), kLevelVoltsRms, 2.0, "1.000 V"},
      {At2V(0.99949), kLevelVoltsRms, 2.0, "999 mV"},
      {At2V(0.09996), kLevelVoltsRms, 2.0, "100 mV"},
      {At2V(0.775 / 2.8284271), kLevelVoltsPeakToPeak, 2.0, "775 mVpp"},
      {-kInf, kLevelDbu, 2.0, "-inf dBu"},
      {kNan, kLevelVoltsRms, 2.0, "0 mV"},
      {-400.0, kLevelVoltsRms, 2.0, "0 mV"},
  };
  for (const Row& r : rows) EXPECT_EQ(Format(r.dbfs, r.unit, r.full_scale), r.text);
  char range[80];
  FormatLevelRange(-80.0, 0.0, kLevelVoltsRms, 2.0, range, sizeof range);
  EXPECT_STREQ(range, "between 0.200 mV and 2.000 V");
}

// The spellings of each unit, and odd text, which never reads past its end
// (the common entries are the read-out's test).
TEST(LevelUnits, ParsesEveryUnitAndRefusesOddText) {
  struct Row {
    const char* text;
    LevelUnit shown;
    double full_scale;
    LevelParse result;
    double dbfs;
  };
  const std::string long_digits(5000, '9'), long_spaces(5000, ' ');
  const std::string long_number = "1" + long_digits + " V", long_unit = "1 " + long_digits;
  const Row rows[] = {
      {"  -10 DBV ", kLevelDbfs, 2.0, kLevelParsed, -16.0206},
      {"0.775Vrms ", kLevelDbfs, 2.0, kLevelParsed, At2V(0.775)},
      {"0.775 V RMS", kLevelDbfs, 2.0, kLevelParsed, At2V(0.775)},
      {"1000 mVpp", kLevelDbfs, 2.0, kLevelParsed, -15.0515},
      {"1 Vp-p", kLevelDbfs, 2.0, kLevelParsed, -15.0515},
      {"0.775", kLevelVoltsRms, 2.0, kLevelParsed, At2V(0.775)},
      {".5e1dBu", kLevelDbfs, 2.0, kLevelParsed, -3.2391},
      {"", kLevelDbfs, 2.0, kLevelNoNumber, 0},
      {"dBu", kLevelDbfs, 2.0, kLevelNoNumber, 0},
      {"nan V", kLevelDbfs, 2.0, kLevelNoNumber, 0},
      {long_spaces.c_str(), kLevelDbfs, 2.0, kLevelNoNumber, 0},
      {"4 d B u", kLevelDbfs, 2.0, kLevelUnknownUnit, 0},
      {"0x10 V", kLevelDbfs, 2.0, kLevelUnknownUnit, 0},
      {"1e V", kLevelDbfs, 2.0, kLevelUnknownUnit, 0},
      {long_unit.c_str(), kLevelDbfs, 2.0, kLevelUnknownUnit, 0},
      {"0 V", kLevelDbfs, 2.0, kLevelNotPositive, 0},
      {"1e-400 V", kLevelDbfs, 2.0, kLevelNotPositive, 0},
      {"1e999 V", kLevelDbfs, 2.0, kLevelNotFinite, 0},
      {long_number.c_str(), kLevelDbfs, 2.0, kLevelNotFinite, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.text).substr(0, 40));
    double dbfs = 12345.0;
    const LevelParse result = ParseLevel(r.text, r.shown, r.full_scale, &dbfs);
    EXPECT_EQ(result, r.result);
    EXPECT_EQ(*LevelParseMessage(result) == '\0', result == kLevelParsed);
    EXPECT_NEAR(dbfs, result == kLevelParsed ? r.dbfs : 12345.0, 1e-3);
  }
  EXPECT_EQ(ParseLevel(nullptr, kLevelDbfs, 2.0, nullptr), kLevelNoNumber);
}

TEST(LevelUnits, CalibrationNamesEveryBadReading) {
  struct Row {
    const char* text;
    double reference_dbfs;
    CalibrationCheck result;
    double full_scale;
  };
  const Row rows[] = {
      {" 0.632 V", -10.0, kCalibrationGood, 1.99856},
      {"632 mV", -10.0, kCalibrationGood, 1.99856},
      {"1000 ", 0.0, kCalibrationGood, 1000.0},
      {"", -10.0, kCalibrationNoNumber, 0},
      {"0.632 dBu", -10.0, kCalibrationNoNumber, 0},
      {"0.632 Vpp", -10.0, kCalibrationNoNumber, 0},
      {"0 mV", -10.0, kCalibrationZero, 0},
      {"-0.5 V", -10.0, kCalibrationNegative, 0},
      {"1e999 V", -10.0, kCalibrationNotFinite, 0},
      {"1000.1 V", 0.0, kCalibrationReadingTooHigh, 0},
      {"400 V", -10.0, kCalibrationFullScaleTooHigh, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    double volts = 0.0, full_scale = -1.0;
    EXPECT_EQ(ParseVoltsReading(r.text, &volts), r.result != kCalibrationNoNumber);
    const CalibrationCheck result = CheckCalibration(volts, r.reference_dbfs, &full_scale);
    EXPECT_EQ(result, r.result);
    EXPECT_EQ(*CalibrationMessage(result) == '\0', result == kCalibrationGood);
    EXPECT_NEAR(full_scale, result == kCalibrationGood ? r.full_scale : -1.0, 1e-5);
  }
}

TEST(LevelUnits, RegistryTextsRoundTrip) {
  struct Row {
    double volts;
    const char* text;
  };
  for (const Row& r : {Row{2.0, "2.000"}, Row{1.99856, "1.999"}, Row{1000.0, "1000.000"},
                       Row{0.0123456, "0.01235"}, Row{0.0, "0.000"}, Row{kNan, "0.000"}}) {
    char text[32];
    FormatFullScale(r.volts, text, sizeof text);
    EXPECT_STREQ(text, r.text);
    double volts = -1.0;
    EXPECT_EQ(ParseFullScale(text, &volts), r.volts > 0.0);
    EXPECT_NEAR(volts, r.volts > 0.0 ? r.volts : 0.0, r.volts > 0.0 ? r.volts * 5e-4 : 0.0) << text;
  }
  for (const char* refused : {"", "0", "-2", "1000.5", "inf", "nan", "2 V", "2,0", "1e999"}) {
    double volts = -1.0;
    EXPECT_FALSE(ParseFullScale(refused, &volts)) << refused;
    EXPECT_EQ(volts, 0.0) << refused;
  }
  EXPECT_EQ(LevelUnitFromStored(4), kLevelVoltsPeakToPeak);
  EXPECT_EQ(LevelUnitFromStored(5), kLevelDbfs);
  EXPECT_EQ(LevelUnitFromStored(0xFFFFFFFFu), kLevelDbfs);
}

}  // namespace
