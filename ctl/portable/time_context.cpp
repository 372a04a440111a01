// The time-entry context: see time_context.h.
#include "ctl/portable/time_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>

TimeContext DefaultTimeContext() {
  TimeContext c;
  std::memset(&c, 0, sizeof c);
  c.notes[0] = 2;  // a quarter note
  for (int slot = 1; slot < kNoteSlots; ++slot) c.notes[slot] = kNoNote;
  c.replace_mode = 1;
  c.tempo_bpm = 120.0f;
  c.focus_id = kFieldSeconds;
  c.sample_rate_hz = 44100;
  c.tics_per_beat = 96;
  c.numerator = 4;
  c.denominator = 4;
  c.frames_per_second = 25.0f;
  return c;
}

static void Put(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

static uint32_t Get(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

static uint32_t BitsOf(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

static float FloatOf(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void EncodeTimeContext(const TimeContext* c, uint8_t out[kTimeContextBytes]) {
  for (int slot = 0; slot < kNoteSlots; ++slot) Put(out + 2 * slot, c->notes[slot], 2);
  Put(out + 10, c->reserved0, 2);
  Put(out + 12, static_cast<uint32_t>(c->replace_mode), 4);
  Put(out + 16, BitsOf(c->tempo_bpm), 4);
  Put(out + 20, c->focus_id, 2);
  Put(out + 22, c->reserved1, 2);
  Put(out + 24, static_cast<uint32_t>(c->sample_rate_hz), 4);
  Put(out + 28, static_cast<uint32_t>(c->tics_per_beat), 4);
  Put(out + 32, static_cast<uint32_t>(c->numerator), 4);
  Put(out + 36, static_cast<uint32_t>(c->denominator), 4);
  Put(out + 40, BitsOf(c->frames_per_second), 4);
}

TimeContext DecodeTimeContext(const uint8_t bytes[kTimeContextBytes]) {
  TimeContext c;
  for (int slot = 0; slot < kNoteSlots; ++slot) {
    c.notes[slot] = static_cast<uint16_t>(Get(bytes + 2 * slot, 2));
  }
  c.reserved0 = static_cast<uint16_t>(Get(bytes + 10, 2));
  c.replace_mode = static_cast<int32_t>(Get(bytes + 12, 4));
  c.tempo_bpm = FloatOf(Get(bytes + 16, 4));
  c.focus_id = static_cast<uint16_t>(Get(bytes + 20, 2));
  c.reserved1 = static_cast<uint16_t>(Get(bytes + 22, 2));
  c.sample_rate_hz = static_cast<int32_t>(Get(bytes + 24, 4));
  c.tics_per_beat = static_cast<int32_t>(Get(bytes + 28, 4));
  c.numerator = static_cast<int32_t>(Get(bytes + 32, 4));
  c.denominator = static_cast<int32_t>(Get(bytes + 36, 4));
  c.frames_per_second = FloatOf(Get(bytes + 40, 4));
  return c;
}

int IsTimeFieldId(int id) {
  static const int kFields[] = {kFieldSeconds,        kFieldMilliseconds, kFieldHertz,
                                kFieldBeatsPerMinute, kFieldTempo,        kFieldMetres,
                                kFieldSamples,        kFieldTicsPerBeat,  kFieldNumerator,
                                kFieldDenominator,    kFieldPosition,     kFieldFrames,
                                kFieldFramesPerSecond};
  for (int field : kFields) {
    if (field == id) return 1;
  }
  return 0;
}

template <typename T>
static void Change(T* field, T value, int* changed) {
  if (std::memcmp(field, &value, sizeof value) != 0) {
    *field = value;
    *changed = 1;
  }
}

// Tempo and frame rate: the dialog itself accepts any x >= 0.
static float SaneRate(float value, float fallback) {
  if (!std::isfinite(value)) return fallback;
  return value < 0.0f ? 0.0f : value;
}

int ClampTimeContext(TimeContext* c) {
  const TimeContext defaults = DefaultTimeContext();
  int changed = 0;
  bool ended = false;
  for (int slot = 0; slot < kNoteSlots; ++slot) {
    if (c->notes[slot] >= kNoteKinds) ended = true;
    if (ended) Change<uint16_t>(&c->notes[slot], kNoNote, &changed);
  }
  Change<int32_t>(&c->replace_mode, c->replace_mode != 0 ? 1 : 0, &changed);
  Change(&c->tempo_bpm, SaneRate(c->tempo_bpm, defaults.tempo_bpm), &changed);
  if (!IsTimeFieldId(c->focus_id)) Change(&c->focus_id, defaults.focus_id, &changed);
  if (c->sample_rate_hz <= 0) Change(&c->sample_rate_hz, defaults.sample_rate_hz, &changed);
  Change(&c->tics_per_beat, std::clamp<int32_t>(c->tics_per_beat, 1, 99999), &changed);
  Change(&c->numerator, std::clamp<int32_t>(c->numerator, 1, 64), &changed);
  const int32_t d = c->denominator;
  if (d != 1 && d != 2 && d != 4 && d != 8 && d != 16) {
    Change(&c->denominator, defaults.denominator, &changed);
  }
  Change(&c->frames_per_second, SaneRate(c->frames_per_second, defaults.frames_per_second),
         &changed);
  return changed;
}
