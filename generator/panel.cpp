// The generator panel: see panel.h.
//
// How it works. CreatePanel walks one table of controls in Tab order; every
// control but the lamps calls OnPanelNotify with the panel record, which
// copies the pending settings out, changes one field, writes them back and
// keeps the related controls consistent (radio groups, presets, lamps,
// read-outs) with the library's set-value command, which never notifies
// back. The nine read-outs are free panels drawn here; the first one also
// carries the 50 ms timer that switches "on" off once the engine has
// stopped by itself.
#include "generator/panel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ctl/dialog_template.h"
#include "generator/panel_text.h"

GeneratorPanel g_panel;

constexpr UINT_PTR kStopTimerId = 1234;
constexpr UINT kStopTimerMs = 50;
constexpr int kIdleTicksBeforeOff = 6;
constexpr int kReadoutWidth = 41, kReadoutHeight = 16;
constexpr int kReadoutBackgroundX = 79, kReadoutBackgroundY = 155;
constexpr uint32_t kValueTextStyle = 2016;

enum ControlKind { kButton, kLamp, kKnob, kSlider };
enum LampId { kLampOn = -1, kLampWaveform = -2, kLampNoise = -3 };

struct ControlPlace {
  int id;  // a control id, or a LampId
  ControlKind kind;
  uint32_t mode;  // buttons: the library's mode word
  int x, y;
};

// Every control in Tab order.
static const ControlPlace kControls[] = {
    {0, kButton, kButtonToggle, 46, 11},
    {kLampOn, kLamp, 0, 46, 32},
    {1, kButton, kButtonSelect, 46, 63},
    {2, kButton, kButtonSelect, 46, 90},
    {60, kButton, kButtonToggle, 46, 179},
    {3, kKnob, 0, 85, 119},
    {70, kButton, kButtonPush, 46, 203},
    {5, kKnob, 0, 157, 60},
    {6, kKnob, 0, 158, 145},
    {7, kButton, kButtonSelect, 203, 43},
    {8, kButton, kButtonSelect, 203, 66},
    {9, kButton, kButtonSelect, 203, 89},
    {10, kButton, kButtonSelect, 203, 112},
    {50, kSlider, 0, 145, 199},
    {11, kButton, kButtonSelect, 277, 11},
    {kLampWaveform, kLamp, 0, 277, 32},
    {12, kKnob, 0, 283, 61},
    {13, kKnob, 0, 286, 114},
    {14, kKnob, 0, 286, 149},
    {15, kButton, kButtonSelect, 369, 65},
    {16, kButton, kButtonSelect, 369, 88},
    {17, kButton, kButtonSelect, 369, 111},
    {18, kButton, kButtonSelect, 369, 134},
    {19, kButton, kButtonSelect, 369, 157},
    {40, kButton, kButtonSelect, 279, 187},
    {41, kButton, kButtonSelect, 309, 187},
    {42, kButton, kButtonSelect, 339, 187},
    {43, kButton, kButtonSelect, 369, 187},
    {20, kButton, kButtonSelect, 529, 12},
    {kLampNoise, kLamp, 0, 529, 33},
    {21, kButton, kButtonSelect, 529, 62},
    {22, kButton, kButtonSelect, 529, 86},
    {23, kButton, kButtonSelect, 529, 110},
    {24, kButton, kButtonSelect, 529, 134},
    {25, kButton, kButtonSelect, 529, 158},
    {26, kButton, kButtonToggle, 365, 11},
    {27, kKnob, 0, 437, 39},
    {28, kKnob, 0, 437, 71},
    {29, kKnob, 0, 437, 103},
    {30, kButton, kButtonToggle, 436, 135},
    {31, kButton, kButtonToggle, 436, 159},
};

struct KnobParameters {
  int id;
  bool large;
  int centre;  // x and y of the pivot
  int start_degrees, end_degrees;
  float minimum, maximum, default_value, step;
  uint32_t style;
};

static const KnobParameters kKnobs[] = {
    {3, false, 12, 225, 315, 0.001f, 1.0f, 0.05f, 0.0005f, 0x012000A0},
    {5, true, 17, 225, 315, -80.0f, 0.0f, -40.0f, 0.1f, 0x011000A0},
    {6, false, 12, 225, 315, -24.0f, 24.0f, 0.0f, 0.05f, 0x011000A0},
    {12, true, 17, 225, 45, 0.1f, 20000.0f, 1000.0f, 1.0145453f, 0x118000A0},
    {13, false, 12, 225, 315, -180.0f, 180.0f, 0.0f, 0.5f, 0x011000A0},
    {14, false, 12, 225, 315, -0.99f, 0.99f, 0.0f, 0.002f, 0x011000A0},
    {27, false, 12, 225, 45, 20.0f, 20000.0f, 20000.0f, 1.01f, 0x118000A0},
    {28, false, 12, 225, 45, 20.0f, 20000.0f, 20.0f, 1.01f, 0x118000A0},
    {29, false, 12, 225, 315, 0.1f, 100.0f, 5.0f, 0.1f, 0x012000A0},
};

// The knob a read-out belongs to, by read-out id.
static const int kReadoutKnob[kReadoutCount] = {3, 5, 6, 12, 13, 14, 27, 28, 29};

static const struct {
  int x, y;
} kReadoutPlaces[kReadoutCount] = {{79, 155},  {152, 103}, {193, 154}, {320, 81}, {320, 123},
                                   {321, 159}, {472, 48},  {472, 80},  {472, 112}};

// ---------------------------------------------------------------------------
// Small helpers.

static GeneratorSettings Pending(const GeneratorPanel* p) {
  GeneratorSettings s;
  GetGeneratorSettings(p->engine, &s);
  return s;
}

static void SetControl(HWND control, float value) {
  if (control)
    SendMessageA(control, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(value)));
}

static void SetButton(GeneratorPanel* p, int id, bool on) {
  SetControl(p->controls[id], on ? 1.0f : 0.0f);
}

static void RepaintReadout(GeneratorPanel* p, int id) {
  if (p->readouts[id]) InvalidateRect(p->readouts[id], nullptr, TRUE);
}

// Radio group: `chosen` on, the others of ids first … last off.
static void SelectOne(GeneratorPanel* p, int first, int last, int chosen) {
  for (int id = first; id <= last; ++id) SetButton(p, id, id == chosen);
}

static void LightLevelPresets(GeneratorPanel* p, float level_db) {
  for (int i = 0; i < kLevelPresetCount; ++i) SetButton(p, 7 + i, kLevelPresets[i] == level_db);
}

static void LightFrequencyPresets(GeneratorPanel* p, float frequency_hz) {
  for (int i = 0; i < kFrequencyPresetCount; ++i) {
    SetButton(p, 15 + i, kFrequencyPresets[i] == frequency_hz);
  }
}

static void ShowSource(GeneratorPanel* p, int source) {
  SetButton(p, 11, source == kSourceWaveform);
  SetControl(p->lamp_waveform, source == kSourceWaveform ? 1.0f : 0.0f);
  SetButton(p, 20, source == kSourceNoise);
  SetControl(p->lamp_noise, source == kSourceNoise ? 1.0f : 0.0f);
}

static void SetFlag(int32_t* flags, int32_t bit, bool on) {
  *flags = on ? *flags | bit : *flags & ~bit;
}

// ---------------------------------------------------------------------------
// Creation.

static HWND CreateKnobFor(GeneratorPanel* p, int id, int x, int y) {
  for (const KnobParameters& k : kKnobs) {
    if (k.id != id) continue;
    return CreateKnobEx(p->parent, id, x, y, k.style,
                        k.large ? p->images.large_knob : p->images.small_knob, k.centre, k.centre,
                        k.start_degrees, k.end_degrees, k.minimum, k.maximum, k.default_value,
                        k.step, OnPanelNotify, p);
  }
  return nullptr;
}

static HWND CreateOne(GeneratorPanel* p, const ControlPlace& c) {
  const PanelImages& im = p->images;
  switch (c.kind) {
    case kButton:
      return CreateImageButtonEx(p->parent, c.id, c.x, c.y, c.mode, im.button_off, im.button_on,
                                 nullptr, OnPanelNotify, p);
    case kLamp:
      return CreateImageButtonEx(p->parent, 0, c.x, c.y, kButtonIndicator, im.lamp_off, im.lamp_on,
                                 nullptr, nullptr, nullptr);
    case kKnob: return CreateKnobFor(p, c.id, c.x, c.y);
    case kSlider:
      return CreateSliderEx(p->parent, c.id, c.x, c.y, 0x01110000, im.slider_track, im.slider_thumb,
                            -1.0f, 1.0f, 0.0f, 0.01f, 1, 0, 0, 1, OnPanelNotify, p);
  }
  return nullptr;
}

void BindPanel(GeneratorPanel* p, GeneratorEngine* engine) {
  std::memset(p, 0, sizeof *p);
  p->engine = engine;
}

int CreatePanel(GeneratorPanel* p, HWND parent, const PanelImages* images) {
  p->parent = parent;
  p->images = *images;
  int ok = 1;
  for (const ControlPlace& c : kControls) {
    HWND window = CreateOne(p, c);
    if (!window) ok = 0;
    switch (c.id) {
      case kLampOn: p->lamp_on = window; break;
      case kLampWaveform: p->lamp_waveform = window; break;
      case kLampNoise: p->lamp_noise = window; break;
      default: p->controls[c.id] = window; break;
    }
  }
  for (int id = 0; id < kReadoutCount; ++id) {
    p->readouts[id] = CreateFreePanel(parent, id, kReadoutPlaces[id].x, kReadoutPlaces[id].y,
                                      kReadoutWidth, kReadoutHeight, OnReadoutMessage, p);
    if (!p->readouts[id]) ok = 0;
  }
  return ok;
}

void RefreshPanel(GeneratorPanel* p) {
  const GeneratorSettings s = Pending(p);
  SetButton(p, 0, s.on != 0);
  SetControl(p->lamp_on, s.on != 0 ? 1.0f : 0.0f);
  SetButton(p, 1, s.one_shot == 0);
  SetButton(p, 2, s.one_shot == 1);
  SetButton(p, 60, s.gate != 0);
  SetControl(p->controls[3], s.duration_s);
  SetControl(p->controls[5], s.level_db);
  SetControl(p->controls[6], s.gain_db);
  LightLevelPresets(p, s.level_db);
  SetControl(p->controls[50], s.pan);
  ShowSource(p, s.source);
  SetControl(p->controls[12], s.frequency_hz);
  SetControl(p->controls[13], s.phase_deg);
  SetControl(p->controls[14], s.dc_offset);
  LightFrequencyPresets(p, s.frequency_hz);
  SelectOne(p, 40, 43, 40 + s.waveform);
  SelectOne(p, 21, 25, 21 + s.noise_type);
  SetButton(p, 26, (s.sweep_flags & kSweepOn) != 0);
  SetButton(p, 30, (s.sweep_flags & kSweepDownward) != 0);
  SetButton(p, 31, (s.sweep_flags & kSweepBackAndForth) != 0);
  SetControl(p->controls[28], s.sweep_start_hz);
  SetControl(p->controls[27], s.sweep_end_hz);
  SetControl(p->controls[29], s.sweep_time_s);
  for (int id = 0; id < kReadoutCount; ++id) RepaintReadout(p, id);
  if (p->options) InvalidateRect(p->options, nullptr, TRUE);
}

void DestroyPanel(GeneratorPanel* p) {
  if (p->options) DestroyWindow(p->options);
  for (HWND& window : p->controls) {
    if (window) DestroyWindow(window);
    window = nullptr;
  }
  for (HWND* lamp : {&p->lamp_on, &p->lamp_waveform, &p->lamp_noise}) {
    if (*lamp) DestroyWindow(*lamp);
    *lamp = nullptr;
  }
  for (HWND& window : p->readouts) {
    if (window) DestroyWindow(window);
    window = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Notifications.

int OnPanelNotify(void* user_data, uint32_t code_word, uint32_t value_bits) {
  auto* p = static_cast<GeneratorPanel*>(user_data);
  const int code = static_cast<int>(code_word & 0xFFFF);
  if (code > 70) return 0;  // begin and end events carry 0x8000 / 0x4000
  const float value = FloatFromBits(value_bits);
  const bool on = value != 0.0f;
  GeneratorSettings s = Pending(p);
  switch (code) {
    case 0:
      s.on = on ? 1 : 0;
      SetControl(p->lamp_on, on ? 1.0f : 0.0f);
      p->on = s.on;
      break;
    case 1:
    case 2:
      s.one_shot = code - 1;
      SetButton(p, code == 1 ? 2 : 1, false);
      break;
    case 3:
      s.duration_s = value;
      RepaintReadout(p, 0);
      break;
    case 5:
      s.level_db = value;
      RepaintReadout(p, 1);
      LightLevelPresets(p, value);
      break;
    case 6:
      s.gain_db = value;
      RepaintReadout(p, 2);
      break;
    case 7:
    case 8:
    case 9:
    case 10:
      s.level_db = kLevelPresets[code - 7];
      SetControl(p->controls[5], s.level_db);
      RepaintReadout(p, 1);
      for (int id = 7; id <= 10; ++id) {
        if (id != code) SetButton(p, id, false);
      }
      break;
    case 11:
    case 20:
      s.source = code == 11 ? kSourceWaveform : kSourceNoise;
      ShowSource(p, s.source);
      break;
    case 12:
      s.frequency_hz = value;
      RepaintReadout(p, 3);
      LightFrequencyPresets(p, value);
      break;
    case 13:
      s.phase_deg = value;
      RepaintReadout(p, 4);
      break;
    case 14:
      s.dc_offset = value;
      RepaintReadout(p, 5);
      break;
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
      s.frequency_hz = kFrequencyPresets[code - 15];
      SetControl(p->controls[12], s.frequency_hz);
      RepaintReadout(p, 3);
      for (int id = 15; id <= 19; ++id) {
        if (id != code) SetButton(p, id, false);
      }
      break;
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
      s.noise_type = code - 21;
      SelectOne(p, 21, 25, code);
      break;
    case 26: SetFlag(&s.sweep_flags, kSweepOn, on); break;
    case 27:
      s.sweep_end_hz = value;
      if (value < s.sweep_start_hz) {
        s.sweep_start_hz = value;
        SetControl(p->controls[28], value);
      }
      RepaintReadout(p, 6);
      RepaintReadout(p, 7);
      break;
    case 28:
      s.sweep_start_hz = value;
      if (value > s.sweep_end_hz) {
        s.sweep_end_hz = value;
        SetControl(p->controls[27], value);
      }
      RepaintReadout(p, 6);
      RepaintReadout(p, 7);
      break;
    case 29:
      s.sweep_time_s = value;
      RepaintReadout(p, 8);
      break;
    case 30: SetFlag(&s.sweep_flags, kSweepDownward, on); break;
    case 31: SetFlag(&s.sweep_flags, kSweepBackAndForth, on); break;
    case 40:
    case 41:
    case 42:
    case 43:
      s.waveform = code - 40;
      SelectOne(p, 40, 43, code);
      break;
    case 50: s.pan = value; break;
    case 60: s.gate = on ? 1 : 0; break;
    case 70: OpenOptionsWindow(p->parent, p); return 0;
    default: return 0;
  }
  SetGeneratorSettings(p->engine, &s);
  return 0;
}

// ---------------------------------------------------------------------------
// Read-outs.

static void PaintReadout(GeneratorPanel* p, HWND window, int id) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const GeneratorSettings s = Pending(p);
  char text[64];
  FormatReadout(id, &s, text, sizeof text);
  RECT r = {0, 0, kReadoutWidth, kReadoutHeight};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(0));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(4));
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old_font);
  EndPaint(window, &ps);
}

static void EraseReadout(GeneratorPanel* p, HDC dc) {
  DrawBitmap(dc, 0, 0, kReadoutWidth, kReadoutHeight, p->images.panel, kReadoutBackgroundX,
             kReadoutBackgroundY, SRCCOPY);
}

// The engine stopped by itself (one-shot, impulse, a single sweep): after
// a few idle ticks the "on" button goes off.
static void OnStopTimer(GeneratorPanel* p) {
  if (p->on != 1) {
    p->idle_ticks = 0;
    return;
  }
  if (IsGeneratorActive(p->engine)) return;
  if (++p->idle_ticks <= kIdleTicksBeforeOff) return;
  p->idle_ticks = 0;
  SetButton(p, 0, false);
  SetControl(p->lamp_on, 0.0f);
  p->on = 0;
  GeneratorSettings s = Pending(p);
  s.on = 0;
  SetGeneratorSettings(p->engine, &s);
}

static void TypeIntoReadout(GeneratorPanel* p, HWND window, int id) {
  GeneratorSettings s = Pending(p);
  char text[64];
  ReadoutEntryText(id, &s, text, sizeof text);
  POINT at = {0, 18};
  ClientToScreen(window, &at);
  char* answer = OpenQuickEdit(window, kValueTextStyle, at.x, at.y, 100, 20, text);
  if (!answer) return;
  const bool typed = answer[0] != '\0';
  const double value = static_cast<double>(ParseValue(answer));
  std::free(answer);
  s = Pending(p);  // the settings may have changed while the box was open
  if (!typed || !ApplyReadoutEntry(id, value, &s)) return;
  SetGeneratorSettings(p->engine, &s);
  const float knob_values[kReadoutCount] = {s.duration_s,   s.level_db,       s.gain_db,
                                            s.frequency_hz, s.phase_deg,      s.dc_offset,
                                            s.sweep_end_hz, s.sweep_start_hz, s.sweep_time_s};
  SetControl(p->controls[kReadoutKnob[id]], knob_values[id]);
  RepaintReadout(p, id);
  if (id == 6 || id == 7) {  // the other end of the sweep may have moved along
    SetControl(p->controls[28], s.sweep_start_hz);
    SetControl(p->controls[27], s.sweep_end_hz);
    RepaintReadout(p, id == 6 ? 7 : 6);
  }
}

LRESULT OnReadoutMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void* user) {
  auto* p = static_cast<GeneratorPanel*>(user);
  const int id = static_cast<int>(GetWindowLongA(window, GWL_ID));
  switch (message) {
    case WM_CREATE:
      if (!p->timer) {
        p->timer = SetTimer(window, kStopTimerId, kStopTimerMs, nullptr);
        p->timer_window = window;
      }
      return 0;
    case WM_DESTROY:
      if (p->timer && p->timer_window == window) {
        KillTimer(window, kStopTimerId);
        p->timer = 0;
        p->timer_window = nullptr;
      }
      return 0;
    case WM_ERASEBKGND: EraseReadout(p, reinterpret_cast<HDC>(wparam)); return 1;
    case WM_PAINT: PaintReadout(p, window, id); return 0;
    case WM_TIMER:
      if (wparam == kStopTimerId) OnStopTimer(p);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second click opens the box again
      TypeIntoReadout(p, window, id);
      return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

// ---------------------------------------------------------------------------
// The options window (gate times).

static const RECT kGateOnBox = {67, 24, 108, 40};
static const RECT kGateOffBox = {67, 52, 108, 68};

static void PaintOptions(HWND dialog, GeneratorPanel* p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  const GeneratorSettings s = Pending(p);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(0));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(4));
  char text[32];
  RECT box = kGateOnBox;
  std::snprintf(text, sizeof text, "%0.2f", s.gate_on_s);
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  box = kGateOffBox;
  std::snprintf(text, sizeof text, "%0.2f", s.gate_off_s);
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old_font);
  EndPaint(dialog, &ps);
}

// A typed gate time for the box at `box` (on or off time).
static void TypeGateTime(HWND dialog, GeneratorPanel* p, bool on_time) {
  const RECT& box = on_time ? kGateOnBox : kGateOffBox;
  GeneratorSettings s = Pending(p);
  char text[32];
  std::snprintf(text, sizeof text, "%0.2f", on_time ? s.gate_on_s : s.gate_off_s);
  POINT at = {box.left, box.bottom + 2};
  ClientToScreen(dialog, &at);
  char* answer = OpenQuickEdit(dialog, kValueTextStyle, at.x, at.y, 100, 20, text);
  if (!answer) return;
  const bool typed = answer[0] != '\0';
  const double value = static_cast<double>(ParseValue(answer));
  std::free(answer);
  if (!typed || !(value >= 0.1 && value <= 60.0)) return;
  s = Pending(p);
  (on_time ? s.gate_on_s : s.gate_off_s) = static_cast<float>(value);
  SetGeneratorSettings(p->engine, &s);
  if (IsWindow(dialog)) InvalidateRect(dialog, nullptr, TRUE);
}

static INT_PTR OnOptionsInit(HWND dialog, GeneratorPanel* p) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(p));
  p->options = dialog;
  SetWindowTextA(dialog, "Options");
  int frame = 0, caption = 0, menu = 0;
  GetWindowMetrics(&frame, &caption, &menu);
  SetWindowPos(dialog, nullptr, 0, 0, 123 + 2 * frame, 78 + caption + 2 * frame,
               SWP_NOMOVE | SWP_NOZORDER);
  InitWindowDrag(&p->options_drag, dialog);
  InvalidateRect(dialog, nullptr, TRUE);
  return TRUE;
}

static INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    return OnOptionsInit(dialog, reinterpret_cast<GeneratorPanel*>(lparam));
  }
  auto* p = reinterpret_cast<GeneratorPanel*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!p) return FALSE;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  const POINT at = {x, y};
  switch (message) {
    case WM_ERASEBKGND: {
      DrawBitmap(reinterpret_cast<HDC>(wparam), 0, 0, 123, 78, p->images.options, 0, 0, SRCCOPY);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_PAINT: PaintOptions(dialog, p); return TRUE;
    case WM_LBUTTONDOWN:
      if (PtInRect(&kGateOnBox, at)) {
        TypeGateTime(dialog, p, true);
      } else if (PtInRect(&kGateOffBox, at)) {
        TypeGateTime(dialog, p, false);
      } else {
        BeginWindowDrag(&p->options_drag, x, y);
      }
      return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&p->options_drag, x, y); return TRUE;
    case WM_LBUTTONUP: EndWindowDrag(&p->options_drag, x, y); return TRUE;
    case WM_CAPTURECHANGED:  // Alt+Tab mid-drag: drop the outline
      OnWindowDragCaptureChanged(&p->options_drag, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_KEYDOWN: CycleFocus(dialog, wparam); return TRUE;
    case WM_CLOSE: DestroyWindow(dialog); return TRUE;
    case WM_DESTROY:
      p->options = nullptr;
      if (p->options_template) GlobalFree(p->options_template);
      p->options_template = nullptr;
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      return TRUE;
    default: return FALSE;
  }
}

void OpenOptionsWindow(HWND parent, GeneratorPanel* p) {
  if (p->options) {
    SetWindowPos(p->options, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    return;
  }
  p->options_template = BuildDialogTemplate(
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, 0);
  if (!p->options_template) return;
  if (!CreateDialogFromTemplate(p->options_template, parent, OptionsProc,
                                reinterpret_cast<LPARAM>(p))) {
    GlobalFree(p->options_template);
    p->options_template = nullptr;
  }
}
