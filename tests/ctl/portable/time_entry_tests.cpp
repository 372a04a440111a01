// The time-entry arithmetic and its stored context: the dialog's worked
// examples, every denominator both ways, a random round trip, and stored
// contexts holding any bytes.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "ctl/portable/musical_time.h"

namespace {

std::string Position(double ms, const TimeContext& c) {
  char text[64];
  FormatMusicalPosition(ms, &c, text, sizeof text);
  return text;
}

TEST(TimeEntry, TwoHertzInEveryUnit) {
  const TimeContext c = DefaultTimeContext();
  const TimeValues v = DeriveTimeValues(TimeFromEntry(kFieldHertz, 2.0, &c), &c);
  EXPECT_EQ(v.seconds, 0.5f);
  EXPECT_EQ(v.milliseconds, 500.0f);
  EXPECT_EQ(v.hertz, 2.0f);
  EXPECT_EQ(v.beats_per_minute, 120.0f);
  EXPECT_EQ(v.metres, 165.0f);
  EXPECT_EQ(v.samples, 22050.0f);
  EXPECT_EQ(v.frames, 12.5f);
  const TimeValues zero = DeriveTimeValues(TimeFromEntry(kFieldHertz, 0.0, &c), &c);
  EXPECT_EQ(zero.seconds, 0.0f);
  EXPECT_EQ(zero.beats_per_minute, 0.0f);
  EXPECT_EQ(zero.hertz, 0.0f);
  // Each field read back gives T again.
  const struct {
    int field;
    double x;
  } entries[] = {{kFieldSeconds, 0.5}, {kFieldMilliseconds, 500}, {kFieldBeatsPerMinute, 120},
                 {kFieldMetres, 165},  {kFieldSamples, 22050},    {kFieldFrames, 12.5},
                 {kFieldSeconds, -3}};
  for (const auto& e : entries) {
    EXPECT_NEAR(TimeFromEntry(e.field, e.x, &c), e.x < 0 ? 0 : 0.5, 1e-6) << e.field;
  }
  // Samples round to the nearest integer, halves down.
  EXPECT_EQ(RoundHalfDown(2.5), 2.0);
  EXPECT_EQ(RoundHalfDown(2.51), 3.0);
  EXPECT_EQ(DeriveTimeValues(0.5f / 44100, &c).samples, 0.0f);
}

TEST(TimeEntry, OverflowingEntriesStayFinite) {
  TimeContext c = DefaultTimeContext();
  const float huge = TimeFromEntry(kFieldSeconds, 1e39, &c);
  EXPECT_EQ(huge, FLT_MAX);
  EXPECT_EQ(TimeFromEntry(kFieldHertz, 1e-45, &c), FLT_MAX);
  EXPECT_EQ(TimeFromEntry(kFieldSeconds, NAN, &c), 0.0f);
  const TimeValues v = DeriveTimeValues(huge, &c);
  for (float f : {v.milliseconds, v.hertz, v.beats_per_minute, v.metres, v.samples, v.frames}) {
    EXPECT_TRUE(std::isfinite(f));
  }
  const TimeValues tiny = DeriveTimeValues(1e-45f, &c);
  EXPECT_EQ(tiny.hertz, FLT_MAX);
  c.tempo_bpm = 1e-37f;
  EXPECT_EQ(MusicalDuration(&c), FLT_MAX);
  EXPECT_NE(Position(FLT_MAX * 1000.0, c), "");
  c.tempo_bpm = 0;
  EXPECT_EQ(MusicalDuration(&c), 0.0f);
  EXPECT_TRUE(std::isfinite(ParseMusicalPosition("3 / 1 / 48", &c)));  // tempo 0 reads as 1
}

TEST(TimeEntry, NoteSequence) {
  TimeContext c = DefaultTimeContext();  // one quarter note, replace on, 120 bpm
  EXPECT_EQ(MusicalDuration(&c), 0.5f);
  c.replace_mode = 0;
  AddNote(&c, 13);  // a dotted eighth
  EXPECT_EQ(MusicalDuration(&c), 0.875f);
  for (int i = 0; i < 3; ++i) AddNote(&c, 4);
  EXPECT_EQ(NoteCount(&c), 5);
  AddNote(&c, 0);  // a sixth note restarts the sequence
  EXPECT_EQ(NoteCount(&c), 1);
  EXPECT_EQ(MusicalDuration(&c), 2.0f);
  c.replace_mode = 1;
  AddNote(&c, 7);
  EXPECT_EQ(NoteCount(&c), 1);
  EXPECT_NEAR(MusicalDuration(&c), 1.0f / 3, 1e-7);
  AddNote(&c, 15);  // not a note
  EXPECT_EQ(c.notes[0], 7);
}

TEST(TimeEntry, PositionForEveryDenominator) {
  // 2.5 s at 120 bpm and 96 tics per beat is five beats in.
  const struct {
    int denominator;
    const char* text;
  } cases[] = {{4, "     2 /  2 /     0"},
               {1, "     1 /  2 /    96"},
               {2, "     1 /  3 /    96"},
               {8, "     3 /  3 /     0"},
               {16, "     6 /  1 /     0"}};
  for (const auto& k : cases) {
    TimeContext c = DefaultTimeContext();
    c.denominator = k.denominator;
    EXPECT_EQ(Position(2500, c), k.text) << k.denominator;
    EXPECT_EQ(ParseMusicalPosition(k.text, &c), 2500.0f) << k.denominator;
  }
  const TimeContext c = DefaultTimeContext();
  EXPECT_EQ(ParseMusicalPosition("3 / 1 / 48", &c), 4250.0f);
  EXPECT_EQ(Position(4250, c), "     3 /  1 /    48");
  // Missing runs, runs too long, a beat past the numerator, a tic past the
  // unit.
  const struct {
    const char* text;
    float ms;
  } parses[] = {
      {"", 0},          {"2", 2000},       {"x2y3", 3000},      {"99999999999 / 2 / 0", 500},
      {"1 / 5 / 0", 0}, {"1 / 1 / 97", 0}, {"1 / 1 / 96", 500}, {"1/1/2147483647", 0}};
  for (const auto& p : parses) EXPECT_EQ(ParseMusicalPosition(p.text, &c), p.ms) << p.text;
}

TEST(TimeEntry, FewTicsPerBeatForShortUnits) {
  TimeContext c = DefaultTimeContext();
  for (int denominator : {8, 16}) {
    for (int tics : {1, 2, 3}) {
      c.denominator = denominator;
      c.tics_per_beat = tics;
      EXPECT_NE(Position(2500, c), "");
      EXPECT_TRUE(std::isfinite(ParseMusicalPosition("2 / 2 / 1", &c)));
    }
  }
}

TEST(TimeEntry, RandomPositionsRoundTrip) {
  std::mt19937 random(20261208);
  const int denominators[] = {1, 2, 4, 8, 16};
  const int tics[] = {24, 48, 96, 192, 384, 480, 960};
  int checked = 0;
  for (int i = 0; i < 3000; ++i) {
    TimeContext c = DefaultTimeContext();
    c.denominator = denominators[random() % 5];
    c.tics_per_beat = tics[random() % 7];
    c.numerator = 1 + static_cast<int>(random() % 16);
    c.tempo_bpm = static_cast<float>(40 + random() % 200);
    const int unit = c.denominator == 1    ? c.tics_per_beat * 4
                     : c.denominator == 2  ? c.tics_per_beat * 2
                     : c.denominator == 8  ? c.tics_per_beat / 2
                     : c.denominator == 16 ? c.tics_per_beat / 4
                                           : c.tics_per_beat;
    char text[64];
    std::snprintf(text, sizeof text, "%6d / %2d / %5d", 1 + static_cast<int>(random() % 500),
                  1 + static_cast<int>(random() % c.numerator), static_cast<int>(random() % unit));
    const float ms = ParseMusicalPosition(text, &c);
    // T is a float: a tic finer than its resolution there cannot come back.
    const double tic_ms = 60000.0 / (c.tics_per_beat * c.tempo_bpm);
    if (tic_ms < 8 * (std::nextafter(ms, FLT_MAX) - ms)) continue;
    ASSERT_EQ(Position(ms, c), text)
        << "d=" << c.denominator << " tpb=" << c.tics_per_beat << " tempo=" << c.tempo_bpm;
    ++checked;
  }
  EXPECT_GT(checked, 2000);
}

TEST(TimeContext, StoredBytesRoundTripAndAreClamped) {
  std::mt19937 random(44);
  for (int i = 0; i < 200; ++i) {
    uint8_t bytes[kTimeContextBytes], again[kTimeContextBytes];
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    TimeContext c = DecodeTimeContext(bytes);
    EncodeTimeContext(&c, again);
    ASSERT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
    // Any bytes come out usable: notes in the table, finite rates, fields
    // in their ranges, and a position and duration that can be shown.
    ClampTimeContext(&c);
    for (int slot = 0; slot < kNoteSlots; ++slot) {
      ASSERT_TRUE(c.notes[slot] < kNoteKinds || c.notes[slot] == kNoNote);
    }
    ASSERT_TRUE(std::isfinite(c.tempo_bpm) && c.tempo_bpm >= 0);
    ASSERT_TRUE(std::isfinite(c.frames_per_second) && c.frames_per_second >= 0);
    ASSERT_TRUE(c.tics_per_beat >= 1 && c.tics_per_beat <= 99999);
    ASSERT_TRUE(c.numerator >= 1 && c.numerator <= 64);
    ASSERT_TRUE(IsTimeFieldId(c.focus_id));
    ASSERT_TRUE(std::isfinite(MusicalDuration(&c)));
    EXPECT_EQ(ClampTimeContext(&c), 0);  // clamping twice changes nothing
  }
  TimeContext odd = DefaultTimeContext();
  odd.notes[1] = 900;
  odd.notes[2] = 3;  // after an invalid note the sequence has ended
  odd.tempo_bpm = NAN;
  odd.denominator = 7;
  odd.focus_id = 99;
  EXPECT_EQ(ClampTimeContext(&odd), 1);
  EXPECT_EQ(NoteCount(&odd), 1);
  EXPECT_EQ(odd.notes[2], kNoNote);
  EXPECT_EQ(odd.tempo_bpm, 120.0f);
  EXPECT_EQ(odd.denominator, 4);
  EXPECT_EQ(odd.focus_id, kFieldSeconds);
  TimeContext defaults = DefaultTimeContext();
  EXPECT_EQ(ClampTimeContext(&defaults), 0);
}

}  // namespace
