// The time-entry arithmetic: see musical_time.h.
#include "ctl/portable/musical_time.h"

#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>

// Beats of each note: plain, triplet (two thirds), dotted (one and a half).
static const float kNoteBeats[kNoteKinds] = {
    4.0f,        2.0f,        1.0f, 0.5f, 0.25f, 8.0f / 3.0f, 4.0f / 3.0f, 2.0f / 3.0f,
    1.0f / 3.0f, 1.0f / 6.0f, 6.0f, 3.0f, 1.5f,  0.75f,       0.375f};

double RoundHalfDown(double value) { return std::ceil(value - 0.5); }

float NoteBeats(int index) { return index >= 0 && index < kNoteKinds ? kNoteBeats[index] : 0.0f; }

int NoteCount(const TimeContext* c) {
  int count = 0;
  while (count < kNoteSlots && c->notes[count] < kNoteKinds) ++count;
  return count;
}

void AddNote(TimeContext* c, int index) {
  if (index < 0 || index >= kNoteKinds) return;
  const int count = NoteCount(c);
  if (c->replace_mode == 1 || count == kNoteSlots) {
    c->notes[0] = static_cast<uint16_t>(index);
    for (int slot = 1; slot < kNoteSlots; ++slot) c->notes[slot] = kNoNote;
    return;
  }
  c->notes[count] = static_cast<uint16_t>(index);
}

float MusicalDuration(const TimeContext* c) {
  if (!(c->tempo_bpm > 0.0f)) return 0.0f;
  double beats = 0.0;
  for (int slot = 0; slot < NoteCount(c); ++slot) beats += NoteBeats(c->notes[slot]);
  return FiniteFloat(beats * 60.0 / c->tempo_bpm);
}

TimeValues DeriveTimeValues(float seconds, const TimeContext* c) {
  const float t = seconds > 0.0f ? seconds : 0.0f;
  TimeValues v;
  v.seconds = t;
  v.milliseconds = FiniteFloat(1000.0 * t);
  v.hertz = t == 0.0f ? 0.0f : FiniteFloat(1.0 / t);
  v.beats_per_minute = t == 0.0f ? 0.0f : FiniteFloat(60.0 / t);
  v.metres = FiniteFloat(330.0 * t);
  v.samples = FiniteFloat(RoundHalfDown(static_cast<double>(t) * c->sample_rate_hz));
  v.frames = FiniteFloat(static_cast<double>(c->frames_per_second) * t);
  return v;
}

float TimeFromEntry(int field, double x, const TimeContext* c) {
  if (!(x > 0.0)) x = 0.0;  // negatives and NaN
  switch (field) {
    case kFieldSeconds: return FiniteFloat(x);
    case kFieldMilliseconds: return FiniteFloat(0.001 * x);
    case kFieldHertz: return x == 0.0 ? 0.0f : FiniteFloat(1.0 / x);
    case kFieldBeatsPerMinute: return x == 0.0 ? 0.0f : FiniteFloat(60.0 / x);
    case kFieldMetres: return FiniteFloat(x * 0.003030303);
    case kFieldSamples:
      return c->sample_rate_hz > 0 ? FiniteFloat(RoundHalfDown(x) / c->sample_rate_hz) : 0.0f;
    case kFieldFrames:
      return c->frames_per_second > 0.0f ? FiniteFloat(x / c->frames_per_second) : 0.0f;
    default: return 0.0f;
  }
}

// Tics in one unit of the denominator (a whole, half, quarter, eighth or
// sixteenth note); at least one tic.
static int64_t TicsPerUnit(const TimeContext* c) {
  const int64_t tpb = c->tics_per_beat > 0 ? c->tics_per_beat : 1;
  int64_t unit;
  switch (c->denominator) {
    case 1: unit = tpb * 4; break;
    case 2: unit = tpb * 2; break;
    case 8: unit = tpb / 2; break;
    case 16: unit = tpb / 4; break;
    default: unit = tpb; break;
  }
  return unit > 0 ? unit : 1;
}

static double TempoAtLeastOne(const TimeContext* c) {
  return c->tempo_bpm >= 1.0f ? static_cast<double>(c->tempo_bpm) : 1.0;
}

void FormatMusicalPosition(double milliseconds, const TimeContext* c, char* out, size_t out_size) {
  if (out_size == 0) return;
  const int64_t tpb = c->tics_per_beat > 0 ? c->tics_per_beat : 1;
  double beats = TempoAtLeastOne(c) * milliseconds / 60000.0;
  if (!(beats > 0.0)) beats = 0.0;
  if (beats > 1e12) beats = 1e12;  // keeps every count below in 64 bits
  int64_t whole = static_cast<int64_t>(std::floor(beats));
  int64_t tics = static_cast<int64_t>(std::floor((beats - static_cast<double>(whole)) * tpb + 0.5));
  if (tics >= tpb) {  // a fraction that rounds up to a whole beat is the next beat
    whole += 1;
    tics -= tpb;
  }
  const int64_t per_bar = c->numerator > 0 && c->denominator > 0 ? c->numerator : 4;
  int64_t units;
  int64_t tic;
  switch (c->denominator) {
    case 1:
      units = whole / 4;
      tic = tics + tpb * (whole % 4);
      break;
    case 2:
      units = whole / 2;
      tic = whole % 2 ? tics + tpb : tics;
      break;
    case 8:
    case 16: {
      const int64_t per_beat = c->denominator == 8 ? 2 : 4;
      const int64_t unit = TicsPerUnit(c);
      units = tics / unit + per_beat * whole;
      tic = tics % unit;
      break;
    }
    default:
      units = whole;
      tic = tics;
      break;
  }
  std::snprintf(out, out_size, "%6" PRId64 " / %2" PRId64 " / %5" PRId64, units / per_bar + 1,
                units % per_bar + 1, tic);
}

// The next run of digits after any non-digits; -1 when there is none or it
// reaches 2147483647.
static int64_t NextRun(const char** cursor) {
  const char* p = *cursor;
  while (*p && !(*p >= '0' && *p <= '9')) ++p;
  if (!*p) {
    *cursor = p;
    return -1;
  }
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value < 2147483647) value = value * 10 + (*p - '0');
  }
  *cursor = p;
  return value >= 2147483647 ? -1 : value;
}

float ParseMusicalPosition(const char* text, const TimeContext* c) {
  const char* cursor = text ? text : "";
  int64_t bar = NextRun(&cursor);
  int64_t beat = NextRun(&cursor);
  int64_t tic = NextRun(&cursor);
  const int64_t unit = TicsPerUnit(c);
  const int64_t per_bar = c->numerator > 0 ? c->numerator : 4;
  if (bar <= 0) bar = 1;
  if (beat <= 0 || beat > per_bar) beat = 1;
  if (tic < 0 || tic > unit) tic = 0;
  const double tpb = c->tics_per_beat > 0 ? c->tics_per_beat : 1;
  const double tics = (static_cast<double>(bar - 1) * per_bar + static_cast<double>(beat - 1)) *
                          static_cast<double>(unit) +
                      static_cast<double>(tic);
  return FiniteFloat(tics * 60000.0 / (tpb * TempoAtLeastOne(c)));
}
