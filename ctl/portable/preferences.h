// The control library's user preferences and the rules by which stored values
// are taken. Portable: the registry itself is read in library.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ctl/portable/time_context.h"

// The knobs' rotation mode bits (ControlPreferences::rot_mode).
constexpr uint32_t kRotInverse = 1;  // a vertical drag turns the other way round
constexpr uint32_t kRotAngular = 2;  // the knob follows the angle of the pointer

struct ControlPreferences {
  uint32_t rot_mode;       // kRotInverse | kRotAngular
  uint32_t infovalue;      // bit 31 value pop-up on; low 4 bits its corner (1 … 4)
  uint32_t keyboard_type;  // kept and written back unchanged
  uint32_t rot_latency;    // ms before a drag moves, 0 … 500
  uint32_t rot_move;       // 0 / 1: knobs draw their travel
  uint32_t s_capture;      // 0 / 1: slider mouse-captured mode
  uint32_t s_settopos;     // 0 / 1: slider direct-position mode
  uint32_t a_imode;        // 0 / 1: precision-adjust inverse mode
  uint8_t dial_tctx[kTimeContextBytes];  // time-entry context as stored (time_context.h)
};

// infovalue: the value pop-up shows while dragging (the low 4 bits are its corner).
constexpr uint32_t kInfoValueOn = 0x80000000u;
constexpr uint32_t kInfoValueCornerMask = 0xFu;

// Preference values in the order they are read (the order of the key's
// values when written differs: see kPreferenceWriteOrder).
enum PreferenceId {
  kPrefRotMode,
  kPrefInfoValue,
  kPrefKeyboardType,
  kPrefRotMove,
  kPrefRotLatency,
  kPrefSCapture,
  kPrefSSetToPos,
  kPrefAIMode,
  kPrefDialTCtx,
  kPreferenceCount
};

extern const char* const kPreferenceNames[kPreferenceCount];
extern const PreferenceId kPreferenceWriteOrder[kPreferenceCount];

// The defaults, the time-entry context included.
void DefaultPreferences(ControlPreferences* prefs);

// Takes a stored value when it is binary and of the exact width, under the
// value's rule (latency above 500 reads 0; flags read 0 or 1). Returns 1
// when taken, 0 when the default stays.
int AcceptPreference(ControlPreferences* prefs, PreferenceId id, bool is_binary,
                     const uint8_t* data, size_t size);

// Where the value of a preference lives in the record, and its width.
const uint8_t* PreferenceBytes(const ControlPreferences* prefs, PreferenceId id, size_t* size);

// The corner of the value pop-up, 1 … 4; a hand-edited value outside that
// range is clamped into it.
int ValuePopupCorner(uint32_t infovalue);
