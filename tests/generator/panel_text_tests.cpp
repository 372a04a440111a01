// What the generator panel's read-outs show and which typed values they take.
#include <gtest/gtest.h>

#include <string>

#include "generator/panel_text.h"

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

TEST(PanelText, ReadoutFormats) {
  GeneratorSettings s = Sample();
  const char* expected[] = {"50.0", "-10 db", "1.50", "1000", "-90.0",
                            "0.25", "20000",  "20",   "12.0s"};
  for (int id = 0; id < 9; ++id) EXPECT_EQ(Readout(id, s), expected[id]) << id;
  EXPECT_EQ(Readout(9, s), "");
  const struct {
    float hz;
    const char* text;
  } frequencies[] = {{50.0f, "50"}, {49.5f, "49.50"}, {1.0f, "1.00"}, {0.5f, "0.500"}};
  for (const auto& f : frequencies) {
    s.frequency_hz = f.hz;
    EXPECT_EQ(Readout(3, s), f.text);
  }
  s.sweep_time_s = 0.5f;
  EXPECT_EQ(Readout(8, s), "500");  // below a second: milliseconds
  char entry[64];
  ReadoutEntryText(8, &s, entry, sizeof entry);
  EXPECT_STREQ(entry, "0.5s");
}

TEST(PanelText, TypedEntriesWithinTheirRanges) {
  const struct {
    int id;
    double typed;
    int accepted;
  } entries[] = {{0, 1500, 0}, {0, 0.5, 1},   {0, 50, 1},   {0, 1000, 1},  {1, -81, 0},
                 {1, -80, 1},  {2, 24.01, 0}, {3, 0.05, 0}, {3, 20000, 1}, {4, 180, 1},
                 {5, -1, 0},   {6, 19, 0},    {8, 12, 1},   {8, 100.5, 0}, {9, 1, 0}};
  for (const auto& e : entries) {
    GeneratorSettings s = Sample();
    EXPECT_EQ(ApplyReadoutEntry(e.id, e.typed, &s), e.accepted) << e.id << ": " << e.typed;
  }
  GeneratorSettings s = Sample();
  ApplyReadoutEntry(0, 0.5, &s);
  EXPECT_FLOAT_EQ(s.duration_s, 0.0005f);  // typed in milliseconds
  // The sweep keeps start ≤ end, whichever end is typed.
  ApplyReadoutEntry(6, 500, &s);
  EXPECT_EQ(s.sweep_start_hz, 20.0f);
  ApplyReadoutEntry(7, 800, &s);
  EXPECT_EQ(s.sweep_end_hz, 800.0f);
  ApplyReadoutEntry(6, 100, &s);
  EXPECT_EQ(s.sweep_start_hz, 100.0f);
}

}  // namespace
