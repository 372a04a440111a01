// The generator panel's tables: what the read-outs show and take, which
// preset lights for a value, the loaded set brought into range, and the skin
// script's layout against the program's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>

#include "generator/panel/panel_parameters.h"

namespace {

GeneratorSettings Sample() {
  GeneratorSettings s = {};
  s.duration_s = 0.05f;
  s.level_db = -10.0f;
  s.gain_db = 1.5f;
  s.frequency_hz = 1000.0f;
  s.phase_deg = -90.0f;
  s.dc_offset = 0.25f;
  s.sweep_start_hz = 20.0f;
  s.sweep_end_hz = 20000.0f;
  s.sweep_time_s = 12.0f;
  return s;
}

std::string Readout(int id, const GeneratorSettings& s) {
  char text[64];
  FormatReadout(id, &s, text, sizeof text);
  return text;
}

TEST(PanelParameters, ReadoutFormats) {
  GeneratorSettings s = Sample();
  const char* expected[] = {"50.0", "-10 db", "1.50", "1000", "-90.0",
                            "0.25", "20000",  "20",   "12.0s"};
  for (int id = 0; id < kReadoutCount; ++id) EXPECT_EQ(Readout(id, s), expected[id]) << id;
  EXPECT_EQ(Readout(9, s), "");
  const struct {
    float hz;
    const char* text;
  } frequencies[] = {{50.0f, "50"}, {49.5f, "49.50"}, {1.0f, "1.00"}, {0.5f, "0.500"}};
  for (const auto& f : frequencies) {
    s.frequency_hz = f.hz;
    EXPECT_EQ(Readout(kFrequencyReadout, s), f.text);
  }
  s.sweep_time_s = 0.5f;
  EXPECT_EQ(Readout(kSweepTimeReadout, s), "500");  // below a second: milliseconds
  char entry[64];
  ReadoutEntryText(kSweepTimeReadout, &s, entry, sizeof entry);
  EXPECT_STREQ(entry, "0.5s");
}

// Every read-out takes exactly its knob's range, in the units it shows: the
// bounds, and nothing a hair beyond them.
TEST(PanelParameters, EveryReadoutTakesItsKnobsRange) {
  for (const KnobParameter& k : kKnobParameters) {
    const double scale = k.entry_scale;
    for (double typed : {k.entry_minimum, k.entry_maximum}) {
      GeneratorSettings s = Sample();
      ASSERT_EQ(ApplyReadoutEntry(k.readout, typed, &s), 1) << k.readout << ": " << typed;
      EXPECT_EQ(s.*k.field, typed == k.entry_minimum ? k.minimum : k.maximum) << k.readout;
    }
    const double hair = 1e-6 * std::fmax(1.0, std::fabs(k.entry_maximum));
    for (double typed : {k.entry_minimum - hair, k.entry_maximum + hair,
                         std::numeric_limits<double>::quiet_NaN()}) {
      GeneratorSettings s = Sample();
      EXPECT_EQ(ApplyReadoutEntry(k.readout, typed, &s), 0) << k.readout << ": " << typed;
    }
    EXPECT_GT(scale, 0.0);
  }
  GeneratorSettings s = Sample();
  // The sweep keeps start <= end, whichever end is typed.
  ApplyReadoutEntry(kSweepEndReadout, 500, &s);
  EXPECT_EQ(s.sweep_start_hz, 20.0f);
  ApplyReadoutEntry(kSweepStartReadout, 800, &s);
  EXPECT_EQ(s.sweep_end_hz, 800.0f);
  ApplyReadoutEntry(kSweepEndReadout, 100, &s);
  EXPECT_EQ(s.sweep_start_hz, 100.0f);
}

#ifdef QX_SOURCE_DIR
// The skin script paints a plain place for every control; the program must
// create each control exactly there, in the same order.
// A preset lights for its own value only: exactly, for a typed or loaded
// value; within stepping's rounding, for a stepped one.
// What is typed into the LEVEL read-out, with and without a calibration:
// dB full scale where it shows is the knob's own number, a bench unit sets
// level plus gain, and the limits are named in the unit.
TEST(PanelParameters, TypedLevelsWithUnits) {
  const LevelView dbfs = kLevelViewDbfs, dbu = {kLevelDbu, 2.0}, volts = {kLevelVoltsRms, 2.0};
  const struct {
    LevelView view;
    const char* typed;
    ReadoutEntryResult result;
    double level_db;  // with gain 1.5 dB; NaN: unchanged
    const char* why;
  } kRows[] = {
      {dbfs, "-6", kEntryApplied, -6.0, ""},
      {dbfs, "-6 dBFS", kEntryApplied, -6.0, ""},
      {dbfs, "-inf", kEntryApplied, -80.0, ""},
      {dbfs,
       "\x96"
       "20",
       kEntryApplied, -20.0, ""},  // a pasted en dash
      {dbfs, "+4 dBu", kEntryRefused, NAN, "alibrate"},
      {dbfs, "loud", kEntryIgnored, NAN, ""},
      {dbu, "+4dBu", kEntryApplied, -4.2391 - 1.5, ""},
      {dbu, "4", kEntryApplied, -4.2391 - 1.5, ""},  // a bare number in the unit shown
      {dbu, "-6 dB", kEntryApplied, -7.5, ""},       // dB full scale, level plus gain
      {volts, "775 mV", kEntryApplied, -8.2353 - 1.5, ""},
      {dbu, "+9 dBu", kEntryRefused, NAN, "between -70.3 dBu and +8.2 dBu"},
      {volts, "1 uV", kEntryIgnored, NAN, ""},
      {dbu, "4 dBx", kEntryIgnored, NAN, ""},
  };
  for (const auto& row : kRows) {
    GeneratorSettings s = Sample();
    char why[160];
    EXPECT_EQ(ApplyReadoutText(kLevelReadout, row.typed, row.view, &s, why, sizeof why), row.result)
        << row.typed;
    if (std::isnan(row.level_db)) {
      EXPECT_EQ(s.level_db, -10.0f) << row.typed;
    } else {
      EXPECT_NEAR(s.level_db, row.level_db, 0.001) << row.typed;
    }
    EXPECT_NE(std::strstr(why, row.why), nullptr) << row.typed << ": " << why;
  }
}

TEST(PanelParameters, PresetsLightOnlyForTheirOwnValues) {
  const KnobParameter& level = *FindKnobParameter(kLevelKnob);
  const KnobParameter& frequency = *FindKnobParameter(kFrequencyKnob);
  EXPECT_EQ(LitPreset(level, -20.0f, false), 2);
  EXPECT_EQ(LitPreset(level, -20.1f, true), -1);
  float stepped = -40.0f;
  for (int i = 0; i < 200; ++i) stepped += 0.1f;  // -20.0000763
  EXPECT_NE(stepped, -20.0f);
  EXPECT_EQ(LitPreset(level, stepped, true), 2);
  EXPECT_EQ(LitPreset(level, stepped, false), -1);
  EXPECT_EQ(LitPreset(frequency, 15000.0f, false), 4);
  EXPECT_EQ(LitPreset(frequency, 15002.0f, false), -1);
  EXPECT_EQ(LitPreset(frequency, std::numeric_limits<float>::quiet_NaN(), true), -1);
  EXPECT_EQ(LitPreset(*FindKnobParameter(kPhaseKnob), 0.0f, false), -1);  // no presets
}

// A loaded set as the panel can show it: not finite takes the default,
// outside the range the nearest bound, one-shot and gate 0 or 1, the sweep
// in order; what the panel has no range for stays.
TEST(PanelParameters, ALoadedSetIsKeptShowable) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  GeneratorSettings s = Sample();
  s.level_db = nan;
  s.frequency_hz = -440.0f;
  s.dc_offset = inf;
  s.pan = 1e30f;
  s.one_shot = 7;
  s.gate = -2;
  s.gate_on_s = 0.0f;
  s.gate_off_s = 1000.0f;
  s.sweep_start_hz = 5000.0f;
  s.sweep_end_hz = 100.0f;
  s.waveform = 99;
  s.reserved_24 = 12345;
  KeepSettingsShowable(&s);
  EXPECT_EQ(s.level_db, kGeneratorDefaults.level_db);
  EXPECT_EQ(s.frequency_hz, FindKnobParameter(kFrequencyKnob)->minimum);
  EXPECT_EQ(s.dc_offset, kGeneratorDefaults.dc_offset);
  EXPECT_EQ(s.pan, 1.0f);
  EXPECT_EQ(s.one_shot, 1);
  EXPECT_EQ(s.gate, 1);
  EXPECT_EQ(s.gate_on_s, kGateTimeMinimum);
  EXPECT_EQ(s.gate_off_s, kGateTimeMaximum);
  EXPECT_LE(s.sweep_start_hz, s.sweep_end_hz);
  EXPECT_EQ(s.waveform, 99);
  EXPECT_EQ(s.reserved_24, 12345);
  // A set in range is left as it is.
  GeneratorSettings in_range = Sample();
  in_range.gate_on_s = 3.0f;
  in_range.gate_off_s = 0.3f;
  GeneratorSettings kept = in_range;
  KeepSettingsShowable(&kept);
  EXPECT_EQ(std::memcmp(&kept, &in_range, sizeof kept), 0);
}

TEST(PanelParameters, SkinScriptLayoutIsTheProgramsLayout) {
  std::ifstream file(QX_SOURCE_DIR "/tools/assets/make_generator_skins.py");
  ASSERT_TRUE(file.good());
  std::stringstream text;
  text << file.rdbuf();
  const std::string script = text.str();
  const std::regex row(R"re(\("[^"]+", "(\w+)", (\d+), (\d+)\),)re");
  size_t index = 0;
  for (auto it = std::sregex_iterator(script.begin(), script.end(), row);
       it != std::sregex_iterator(); ++it, ++index) {
    ASSERT_LT(index, kPanelPlaceCount) << "the script places more controls";
    const PanelPlace& place = kPanelPlaces[index];
    static const char* const kKinds[] = {"button", "lamp", "knob", "bigknob", "slider", "readout"};
    EXPECT_EQ((*it)[1].str(), kKinds[place.kind]) << "control " << index;
    EXPECT_EQ(std::stoi((*it)[2].str()), place.x) << "control " << index;
    EXPECT_EQ(std::stoi((*it)[3].str()), place.y) << "control " << index;
  }
  EXPECT_EQ(index, kPanelPlaceCount);
  const std::regex pivot(
      R"re(PIVOT = \{"knob": \((\d+), (\d+)\), "bigknob": \((\d+), (\d+)\)\})re");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(script, m, pivot));
  EXPECT_EQ(std::stoi(m[1].str()), kSmallKnobPivot.x);
  EXPECT_EQ(std::stoi(m[2].str()), kSmallKnobPivot.y);
  EXPECT_EQ(std::stoi(m[3].str()), kLargeKnobPivot.x);
  EXPECT_EQ(std::stoi(m[4].str()), kLargeKnobPivot.y);
}
#endif

}  // namespace
