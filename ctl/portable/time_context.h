// The time-entry dialog's context: its musical and video settings, kept by
// the library frame as one 44-byte registry value ("Dial_tCtx"). Portable.
//
// The stored bytes are little-endian in the layout of TimeContext; the
// record itself is only ever filled through DecodeTimeContext, so a value
// read on any host means the same thing.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kTimeContextBytes = 44;
constexpr int kNoteSlots = 5;
constexpr uint16_t kNoNote = 0xFFFF;  // an empty slot of the note sequence
constexpr int kNoteKinds = 15;        // indices 0 … 14 of the note table

// The fields of the time-entry dialog, by control id.
enum TimeFieldId {
  kFieldSeconds = 10,
  kFieldMilliseconds = 11,
  kFieldHertz = 12,
  kFieldBeatsPerMinute = 13,
  kFieldTempo = 14,
  kFieldMetres = 50,
  kFieldSamples = 51,
  kFieldTicsPerBeat = 60,
  kFieldNumerator = 61,
  kFieldDenominator = 62,
  kFieldPosition = 63,
  kFieldFrames = 70,
  kFieldFramesPerSecond = 71,
};

struct TimeContext {
  uint16_t notes[kNoteSlots];  // note indices, filled from the front
  uint16_t reserved0;
  int32_t replace_mode;  // 1: a new note replaces the sequence
  float tempo_bpm;
  uint16_t focus_id;  // the field that had the focus last
  uint16_t reserved1;
  int32_t sample_rate_hz;  // shown, not editable
  int32_t tics_per_beat;   // 1 … 99999
  int32_t numerator;       // 1 … 64
  int32_t denominator;     // 1, 2, 4, 8 or 16
  float frames_per_second;
};
static_assert(sizeof(TimeContext) == kTimeContextBytes, "stored size");
static_assert(offsetof(TimeContext, replace_mode) == 12, "stored layout");
static_assert(offsetof(TimeContext, tempo_bpm) == 16, "stored layout");
static_assert(offsetof(TimeContext, focus_id) == 20, "stored layout");
static_assert(offsetof(TimeContext, sample_rate_hz) == 24, "stored layout");
static_assert(offsetof(TimeContext, tics_per_beat) == 28, "stored layout");
static_assert(offsetof(TimeContext, numerator) == 32, "stored layout");
static_assert(offsetof(TimeContext, denominator) == 36, "stored layout");
static_assert(offsetof(TimeContext, frames_per_second) == 40, "stored layout");

// The context of a first run: one quarter note, replace mode on, 120 bpm,
// focus on the seconds field, 44100 Hz, 96 tics per beat, 4/4, 25 fps.
TimeContext DefaultTimeContext();

// The 44 stored bytes of `context`, little-endian.
void EncodeTimeContext(const TimeContext* context, uint8_t out[kTimeContextBytes]);

// The context stored in `bytes`, as it is (see ClampTimeContext).
TimeContext DecodeTimeContext(const uint8_t bytes[kTimeContextBytes]);

// Brings every field of a stored context into its range, since the registry
// can hold anything: notes outside 0 … 14 end the sequence, a non-finite
// tempo or frame rate takes its default and a negative one 0, tics and the
// numerator are clamped, an unknown denominator, sample rate or focus id takes
// its default, and replace mode reads 0 or 1. Returns 1 when anything changed.
int ClampTimeContext(TimeContext* context);

// 1 when `id` names a field of the time-entry dialog that can hold the focus.
int IsTimeFieldId(int id);
