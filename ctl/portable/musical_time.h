// The arithmetic of the time-entry dialog: one time span T in seconds and
// what it reads as in every field (milliseconds, hertz, beats per minute,
// metres of sound travel, samples, a musical position, video frames), the
// note values and their sum at a tempo. Portable: no Windows API.
//
// T and the derived values are 32-bit floats, as the dialog shows them.
// Every result is finite: what would overflow a float is clamped to the
// largest finite value, so no field ever shows "inf" or "nan".
#pragma once

#include <cstddef>

#include "ctl/portable/time_context.h"
#include "ctl/portable/value_range.h"

// T in every unit the dialog shows.
struct TimeValues {
  float seconds;
  float milliseconds;
  float hertz;             // 1 / T, 0 when T is 0
  float beats_per_minute;  // 60 / T, 0 when T is 0
  float metres;            // sound travels 330 m/s
  float samples;           // T × sample rate, halves rounded down
  float frames;            // T × frames per second
};

// The nearest integer to `value`, halves rounded down (2.5 gives 2).
double RoundHalfDown(double value);

// Length of note `index` (row × 5 + column of the note picture) in beats;
// 0 for an index outside 0 … 14.
float NoteBeats(int index);

// Number of notes in the sequence (it ends at the first empty slot).
int NoteCount(const TimeContext* context);

// Adds a note: in replace mode the sequence becomes that note alone;
// otherwise it takes the first empty slot, and a full sequence restarts
// with that note. Indices outside 0 … 14 are ignored.
void AddNote(TimeContext* context, int index);

// The notes' beats × 60 / tempo in seconds; 0 when the tempo is 0.
float MusicalDuration(const TimeContext* context);

// Every value of T (below 0 counts as 0) under the context's sample rate
// and frame rate.
TimeValues DeriveTimeValues(float seconds, const TimeContext* context);

// T from the number `x` typed into field `field` (a TimeFieldId among
// seconds, milliseconds, hertz, beats per minute, metres, samples, frames);
// x below 0 counts as 0. Other fields give 0.
float TimeFromEntry(int field, double x, const TimeContext* context);

// Writes the musical position of `milliseconds` ("%6i / %2i / %5i": bar and
// beat from 1, tic from 0) into `out`, always terminated. A tempo below 1
// counts as 1; with fewer tics per beat than the denominator's unit needs,
// the unit is one tic.
void FormatMusicalPosition(double milliseconds, const TimeContext* context, char* out,
                           size_t out_size);

// Milliseconds of a typed position "bar / beat / tic": three runs of
// digits; a missing bar or beat, or a beat above the numerator, reads 1; a
// missing tic, or one above the tics of a denominator unit, reads 0.
float ParseMusicalPosition(const char* text, const TimeContext* context);
