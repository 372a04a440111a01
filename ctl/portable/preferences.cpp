// Control library preferences: see preferences.h.
#include "ctl/portable/preferences.h"

#include <cstring>

const char* const kPreferenceNames[kPreferenceCount] = {
    "Rot_Mode", "infovalue", "KeyboardType", "Rot_Move",  "Rot_Latency",
    "S_capture", "S_settopos", "A_imode",    "Dial_tCtx"};

const PreferenceId kPreferenceWriteOrder[kPreferenceCount] = {
    kPrefRotMode, kPrefInfoValue, kPrefKeyboardType, kPrefRotLatency, kPrefRotMove,
    kPrefSCapture, kPrefSSetToPos, kPrefAIMode,      kPrefDialTCtx};

void DefaultPreferences(ControlPreferences* prefs) {
  std::memset(prefs, 0, sizeof *prefs);
  prefs->rot_mode = 1;
  prefs->infovalue = 0x80000003u;
  prefs->s_capture = 1;
  const TimeContext context = DefaultTimeContext();
  EncodeTimeContext(&context, prefs->dial_tctx);
}

static uint32_t* Word(ControlPreferences* prefs, PreferenceId id) {
  switch (id) {
    case kPrefRotMode: return &prefs->rot_mode;
    case kPrefInfoValue: return &prefs->infovalue;
    case kPrefKeyboardType: return &prefs->keyboard_type;
    case kPrefRotMove: return &prefs->rot_move;
    case kPrefRotLatency: return &prefs->rot_latency;
    case kPrefSCapture: return &prefs->s_capture;
    case kPrefSSetToPos: return &prefs->s_settopos;
    case kPrefAIMode: return &prefs->a_imode;
    default: return nullptr;
  }
}

const uint8_t* PreferenceBytes(const ControlPreferences* prefs, PreferenceId id, size_t* size) {
  if (id == kPrefDialTCtx) {
    *size = kTimeContextBytes;
    return prefs->dial_tctx;
  }
  *size = 4;
  return reinterpret_cast<const uint8_t*>(Word(const_cast<ControlPreferences*>(prefs), id));
}

int AcceptPreference(ControlPreferences* prefs, PreferenceId id, bool is_binary,
                     const uint8_t* data, size_t size) {
  if (!is_binary || id < 0 || id >= kPreferenceCount) return 0;
  if (id == kPrefDialTCtx) {
    if (size != kTimeContextBytes) return 0;
    std::memcpy(prefs->dial_tctx, data, kTimeContextBytes);
    return 1;
  }
  if (size != 4) return 0;
  uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                   static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  switch (id) {
    case kPrefRotLatency:
      if (value > 500) value = 0;
      break;
    case kPrefRotMove:
    case kPrefSCapture:
    case kPrefSSetToPos:
    case kPrefAIMode: value = value != 0 ? 1 : 0; break;
    default: break;
  }
  *Word(prefs, id) = value;
  return 1;
}

int ValuePopupCorner(uint32_t infovalue) {
  const int corner = static_cast<int>(infovalue & 0xF);
  if (corner < 1) return 1;
  if (corner > 4) return 4;
  return corner;
}
