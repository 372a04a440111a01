// The generator panel: see panel.h.
//
// How it works. Every fact about a control (its place, its kind, the setting
// a knob edits, its range, read-out and presets) is a row of the tables in
// panel_parameters.cpp; this file only turns rows into windows and
// notifications into settings. CreatePanel walks kPanelPlaces in Tab order;
// every control but the lamps calls OnPanelNotify with the panel record, which
// copies the pending settings out, changes one field, writes them back and
// keeps the related controls consistent (radio groups, presets, lamps,
// read-outs) with the library's set-value command, which never notifies back.
// The nine read-outs are free panels drawn here; the first one also carries
// the 50 ms timer that switches "on" off once the engine has stopped by itself.
#include "generator/app/panel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generator/app/app_info.h"
#include "generator/app/value_entry.h"
#include "generator/panel/signal_caption.h"

GeneratorPanel g_panel;

constexpr UINT_PTR kStopTimerId = 1234;
constexpr UINT kStopTimerMs = 50;
constexpr int kIdleTicksBeforeOff = 6;
constexpr int kReadoutBackgroundX = 79, kReadoutBackgroundY = 155;
constexpr uint32_t kSliderStyle = kNotifyWhileMoving | kStyleEditQuick | kStyleHorizontal;

// The sweep's three switches and their bits.
static const struct {
  int button;
  int32_t bit;
} kSweepSwitches[] = {{kSweepButton, kSweepOn},
                      {kSweepDownwardButton, kSweepDownward},
                      {kSweepBackAndForthButton, kSweepBackAndForth}};

// ---------------------------------------------------------------------------
// Small helpers.

GeneratorSettings PendingSettings(const GeneratorPanel* p) {
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

static void RepaintDisplay(GeneratorPanel* p) {
  if (p->display) InvalidateRect(p->display, nullptr, TRUE);
}

// Radio group: `chosen` on, the others of ids first … last off (all off when
// `chosen` is outside the group, as for a waveform number the panel lacks).
static void SelectOne(GeneratorPanel* p, int first, int last, int chosen) {
  for (int id = first; id <= last; ++id) SetButton(p, id, id == chosen);
}

// The button of `number` in a group starting at `first` of `count`; -1 for a
// number outside it (no sum that could overflow).
static int GroupButton(int first, int count, int32_t number) {
  return number >= 0 && number < count ? first + number : -1;
}

static void ShowSource(GeneratorPanel* p, int32_t source) {
  SetButton(p, kWaveformSourceButton, source == kSourceWaveform);
  SetControl(p->lamp_waveform, source == kSourceWaveform ? 1.0f : 0.0f);
  SetButton(p, kNoiseSourceButton, source == kSourceNoise);
  SetControl(p->lamp_noise, source == kSourceNoise ? 1.0f : 0.0f);
}

// The source buttons, their lamps and the two groups' lit buttons. A test
// signal of the Signals menu lights none of them, so that any button of
// either group, even the one that was lit, answers a click.
static void ShowSignals(GeneratorPanel* p, const GeneratorSettings& s) {
  ShowSource(p, s.source);
  const bool test_signal = s.source == kSourceTestSignal;
  SelectOne(p, kWaveformFirst, kWaveformLast,
            test_signal
                ? -1
                : GroupButton(kWaveformFirst, kWaveformLast - kWaveformFirst + 1, s.waveform));
  SelectOne(p, kNoiseTypeFirst, kNoiseTypeLast,
            test_signal
                ? -1
                : GroupButton(kNoiseTypeFirst, kNoiseTypeLast - kNoiseTypeFirst + 1, s.noise_type));
}

static void ShowOn(GeneratorPanel* p, bool on) {
  SetButton(p, kOnButton, on);
  SetControl(p->lamp_on, on ? 1.0f : 0.0f);
}

static void LightPresets(GeneratorPanel* p, const KnobParameter& k, float value, bool stepped) {
  const int lit = LitPreset(k, value, stepped);
  for (int i = 0; i < k.preset_count; ++i) SetButton(p, k.first_preset + i, i == lit);
}

// A knob's value changed other than through the knob itself (typed into
// its read-out, loaded, a preset, or moved along by the other sweep end
// when `stepped`): the knob, its read-out and its presets show it.
static void ShowKnobValue(GeneratorPanel* p, const KnobParameter& k, const GeneratorSettings& s,
                          bool stepped = false) {
  SetControl(p->controls[k.knob], s.*k.field);
  RepaintReadout(p, k.readout);
  LightPresets(p, k, s.*k.field, stepped);
}

// ---------------------------------------------------------------------------
// Creation.

static uint32_t ButtonModeWord(PanelButtonMode mode) {
  switch (mode) {
    case kToggleButton: return kButtonToggle;
    case kSelectButton: return kButtonSelect;
    case kPushButton: return kButtonPush;
    case kNoButton: break;
  }
  return kButtonIndicator;
}

static HWND CreateKnobAt(GeneratorPanel* p, const PanelPlace& c) {
  const KnobParameter* k = FindKnobParameter(c.id);
  if (!k) return nullptr;
  const bool large = k->kind == kPanelLargeKnob;
  const KnobPivot pivot = large ? kLargeKnobPivot : kSmallKnobPivot;
  return CreateKnobEx(p->parent, c.id, c.x, c.y, k->style,
                      large ? p->images.large_knob : p->images.small_knob, pivot.x, pivot.y,
                      k->start_degrees, k->end_degrees, k->minimum, k->maximum,
                      k->double_click_value, k->step, OnPanelNotify, p);
}

static HWND CreateOne(GeneratorPanel* p, const PanelPlace& c) {
  const PanelImages& im = p->images;
  switch (c.kind) {
    case kPanelButton:
      return CreateImageButtonEx(p->parent, c.id, c.x, c.y, ButtonModeWord(c.mode), im.button_off,
                                 im.button_on, nullptr, OnPanelNotify, p);
    case kPanelLamp:
      return CreateImageButtonEx(p->parent, 0, c.x, c.y, kButtonIndicator, im.lamp_off, im.lamp_on,
                                 nullptr, nullptr, nullptr);
    case kPanelSmallKnob:
    case kPanelLargeKnob: return CreateKnobAt(p, c);
    case kPanelSlider:
      return CreateSliderEx(p->parent, c.id, c.x, c.y, kSliderStyle, im.slider_track,
                            im.slider_thumb, -1.0f, 1.0f, 0.0f, 0.01f, 1, 0, 0, 1, OnPanelNotify,
                            p);
    case kPanelReadout:
      return CreateFreePanel(p->parent, c.id, c.x, c.y, kReadoutWidth, kReadoutHeight,
                             OnReadoutMessage, p);
  }
  return nullptr;
}

// Where the panel keeps the window of `c`.
static HWND* SlotOf(GeneratorPanel* p, const PanelPlace& c) {
  switch (c.kind) {
    case kPanelLamp:
      return c.id == kOnLamp         ? &p->lamp_on
             : c.id == kWaveformLamp ? &p->lamp_waveform
                                     : &p->lamp_noise;
    case kPanelReadout: return &p->readouts[c.id];
    default: return &p->controls[c.id];
  }
}

void BindPanel(GeneratorPanel* p, GeneratorEngine* engine) {
  std::memset(p, 0, sizeof *p);
  p->engine = engine;
  p->options.engine = engine;
}

static LRESULT OnDisplayMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                void* user);

int CreatePanel(GeneratorPanel* p, HWND parent, const PanelImages* images) {
  p->parent = parent;
  p->images = *images;
  p->options.skin = images->options;
  int ok = 1;
  for (size_t i = 0; i < kPanelPlaceCount; ++i) {
    const PanelPlace& c = kPanelPlaces[i];
    *SlotOf(p, c) = CreateOne(p, c);
    if (!*SlotOf(p, c)) ok = 0;
  }
  const RECT& d = kDisplayRect;
  p->display = CreateFreePanel(parent, 0, d.left, d.top, d.right - d.left, d.bottom - d.top,
                               OnDisplayMessage, p);
  if (!p->display) return 0;
  // It only shows: disabled, Tab passes it by and a click on it is the
  // panel's (a drag of the window).
  EnableWindow(p->display, FALSE);
  return ok;
}

void RefreshPanel(GeneratorPanel* p) {
  const GeneratorSettings s = PendingSettings(p);
  ShowOn(p, s.on != 0);
  SetButton(p, kContinuousButton, s.one_shot == 0);
  SetButton(p, kOneShotButton, s.one_shot == 1);
  SetButton(p, kGateButton, s.gate != 0);
  for (const KnobParameter& k : kKnobParameters) ShowKnobValue(p, k, s);
  SetControl(p->controls[kBalanceSlider], s.pan);
  ShowSignals(p, s);
  for (const auto& sweep : kSweepSwitches) {
    SetButton(p, sweep.button, (s.sweep_flags & sweep.bit) != 0);
  }
  RefreshOptionsWindow(&p->options);
  RepaintDisplay(p);
}

void DestroyPanel(GeneratorPanel* p) {
  CloseOptionsWindow(&p->options);
  if (p->display) DestroyWindow(p->display);
  p->display = nullptr;
  for (size_t i = 0; i < kPanelPlaceCount; ++i) {
    HWND* window = SlotOf(p, kPanelPlaces[i]);
    if (*window) DestroyWindow(*window);
    *window = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Notifications.

// `given`: typed into the knob's own box or chosen from its menu, so a
// preset lights only for its exact value; else dragged or stepped.
static void OnKnob(GeneratorPanel* p, const KnobParameter& k, float value, bool given,
                   GeneratorSettings* s) {
  s->*k.field = value;
  RepaintReadout(p, k.readout);
  if (k.readout == kGainReadout) RepaintReadout(p, kLevelReadout);  // level plus gain, in volts
  LightPresets(p, k, value, !given);
  const int moved_along = KeepSweepOrdered(k.knob, s);
  if (moved_along >= 0) ShowKnobValue(p, *FindKnobParameter(moved_along), *s, !given);
}

// A preset button: the knob it belongs to, or null when `code` is none.
static const KnobParameter* PresetKnob(int code) {
  for (const KnobParameter& k : kKnobParameters) {
    if (code >= k.first_preset && code < k.first_preset + k.preset_count) return &k;
  }
  return nullptr;
}

static void OnPreset(GeneratorPanel* p, const KnobParameter& k, int code, GeneratorSettings* s) {
  s->*k.field = k.presets[code - k.first_preset];
  ShowKnobValue(p, k, *s);
}

// The buttons and the slider; false for a code that changes nothing.
static bool OnSwitch(GeneratorPanel* p, int code, float value, GeneratorSettings* s) {
  const bool on = value != 0.0f;
  // A waveform or noise button leaves a test signal of the Signals menu
  // for its own source; between the panel's two sources it only chooses.
  if (code >= kNoiseTypeFirst && code <= kNoiseTypeLast) {
    s->noise_type = code - kNoiseTypeFirst;
    if (s->source == kSourceTestSignal) s->source = kSourceNoise;
    ShowSignals(p, *s);
    return true;
  }
  if (code >= kWaveformFirst && code <= kWaveformLast) {
    s->waveform = code - kWaveformFirst;
    if (s->source == kSourceTestSignal) s->source = kSourceWaveform;
    ShowSignals(p, *s);
    return true;
  }
  for (const auto& sweep : kSweepSwitches) {
    if (code != sweep.button) continue;
    s->sweep_flags = on ? s->sweep_flags | sweep.bit : s->sweep_flags & ~sweep.bit;
    return true;
  }
  switch (code) {
    case kOnButton:
      s->on = on ? 1 : 0;
      SetControl(p->lamp_on, on ? 1.0f : 0.0f);
      p->on = s->on;
      // After an output was lost the sound is stopped: ON starts it again.
      if (on) PostMessageA(p->parent, WM_COMMAND, CMD_START_AUDIO, 0);
      return true;
    case kContinuousButton:
    case kOneShotButton:
      s->one_shot = code == kOneShotButton ? 1 : 0;
      SetButton(p, code == kOneShotButton ? kContinuousButton : kOneShotButton, false);
      return true;
    case kWaveformSourceButton:
    case kNoiseSourceButton:
      s->source = code == kWaveformSourceButton ? kSourceWaveform : kSourceNoise;
      ShowSignals(p, *s);
      return true;
    case kBalanceSlider: s->pan = value; return true;
    case kGateButton: s->gate = on ? 1 : 0; return true;
    default: return false;
  }
}

int OnPanelNotify(void* user_data, uint32_t code_word, uint32_t value_bits) {
  auto* p = static_cast<GeneratorPanel*>(user_data);
  const int code = static_cast<int>(code_word & 0xFFFF);
  if (code > kOptionsButton) return 0;  // begin and end events carry 0x8000 / 0x4000
  if (code == kOptionsButton) {
    OpenOptionsWindow(&p->options, p->parent);
    return 0;
  }
  const float value = FloatFromBits(value_bits);
  GeneratorSettings s = PendingSettings(p);
  if (const KnobParameter* knob = FindKnobParameter(code)) {
    OnKnob(p, *knob, value, (code_word & kNotifyGivenValue) != 0, &s);
  } else if (const KnobParameter* preset_knob = PresetKnob(code)) {
    OnPreset(p, *preset_knob, code, &s);
  } else if (!OnSwitch(p, code, value, &s)) {
    return 0;
  }
  SetGeneratorSettings(p->engine, &s);
  RepaintDisplay(p);
  return 0;
}

// ---------------------------------------------------------------------------
// Read-outs.

static void PaintReadout(GeneratorPanel* p, HWND window, int id) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const GeneratorSettings s = PendingSettings(p);
  char text[64];
  FormatReadout(id, &s, text, sizeof text, p->level_view);
  DrawReadoutText(dc, RECT{0, 0, kReadoutWidth, kReadoutHeight}, text,
                  GetLibraryColor(kPaletteBlack));
  if (GetFocus() == window) DrawFocusMark(dc, 1, 1);
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
  ShowOn(p, false);
  p->on = 0;
  GeneratorSettings s = PendingSettings(p);
  s.on = 0;
  SetGeneratorSettings(p->engine, &s);
  RepaintDisplay(p);
}

static void TypeIntoReadout(GeneratorPanel* p, HWND window, int id) {
  if (id < 0 || id >= kReadoutCount) return;
  GeneratorSettings s = PendingSettings(p);
  char text[64], typed[256], why[160];
  ReadoutEntryText(id, &s, text, sizeof text, p->level_view);
  if (!AskForText(window, POINT{0, 18}, text, typed, sizeof typed)) return;
  s = PendingSettings(p);  // the settings may have changed while the box was open
  const ReadoutEntryResult result = ApplyReadoutText(id, typed, p->level_view, &s, why, sizeof why);
  if (result == kEntryRefused) {
    MessageBoxA(p->parent, why, "Level", MB_OK | MB_ICONWARNING);
    return;  // the panel may have closed under the box: nothing more here
  }
  if (result != kEntryApplied) return;
  SetGeneratorSettings(p->engine, &s);
  if (id == kSweepEndReadout || id == kSweepStartReadout) {  // the other end may have moved
    ShowKnobValue(p, kKnobParameters[kSweepEndReadout], s);
    ShowKnobValue(p, kKnobParameters[kSweepStartReadout], s);
  } else {
    ShowKnobValue(p, kKnobParameters[id], s);
  }
  RepaintDisplay(p);
}

static void OnReadoutKey(GeneratorPanel* p, HWND window, int id, WPARAM key, LPARAM lparam) {
  if (key == VK_TAB || key == VK_ESCAPE) {
    PostMessageA(p->parent, WM_KEYDOWN, key, lparam);  // the owner's focus cycling
  } else if (key == VK_RETURN || key == VK_SPACE) {
    TypeIntoReadout(p, window, id);
  }
}

static void OnReadoutCreate(GeneratorPanel* p, HWND window) {
  if (p->timer) return;
  p->timer = SetTimer(window, kStopTimerId, kStopTimerMs, nullptr);
  p->timer_window = window;
}

static void OnReadoutDestroy(GeneratorPanel* p, HWND window) {
  if (!p->timer || p->timer_window != window) return;
  KillTimer(window, kStopTimerId);
  p->timer = 0;
  p->timer_window = nullptr;
}

LRESULT OnReadoutMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, void* user) {
  auto* p = static_cast<GeneratorPanel*>(user);
  const int id = static_cast<int>(GetWindowLongA(window, GWL_ID));
  switch (message) {
    case WM_CREATE: OnReadoutCreate(p, window); return 0;
    case WM_DESTROY: OnReadoutDestroy(p, window); return 0;
    case WM_ERASEBKGND: EraseReadout(p, reinterpret_cast<HDC>(wparam)); return 1;
    case WM_PAINT: PaintReadout(p, window, id); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(window, nullptr, TRUE); return 0;
    case WM_TIMER:
      if (wparam == kStopTimerId) OnStopTimer(p);
      return 0;
    case WM_KEYDOWN: OnReadoutKey(p, window, id, wparam, lparam); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second click opens the box again
      TypeIntoReadout(p, window, id);
      return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

// ---------------------------------------------------------------------------
// The level in a bench unit, and the display.

// The level knob's pop-up in the bench unit: what the output carries.
static void FormatKnobLevel(void* user, float level, char* out, size_t size) {
  auto* p = static_cast<GeneratorPanel*>(user);
  GeneratorSettings s = PendingSettings(p);
  s.level_db = level;
  FormatReadout(kLevelReadout, &s, out, size, p->level_view);
}

void SetPanelLevelView(GeneratorPanel* p, const LevelView& view) {
  p->level_view = view;
  const ValueTextHook hook = {FormatKnobLevel, p};
  if (HWND knob = p->controls[kLevelKnob]) {
    SendMessageA(knob, WM_COMMAND, kCtlSetValueText,
                 ShowsBenchUnit(view) ? reinterpret_cast<LPARAM>(&hook) : 0);
  }
  RepaintReadout(p, kLevelReadout);
  RepaintDisplay(p);
}

// The display's ink: the trace's green while the generator is on, a dim
// grey while it is off.
constexpr COLORREF kDisplayOnInk = RGB(70, 226, 92);
constexpr COLORREF kDisplayOffInk = RGB(104, 112, 108);
constexpr int kDisplayTextLeft = 60;  // right of the plate's trace

static void PaintDisplay(GeneratorPanel* p, HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const GeneratorSettings s = PendingSettings(p);
  char signal[64], level[48];
  SignalCaption(s, signal, sizeof signal);
  LevelCaption(s, p->level_view, level, sizeof level);
  RECT client;
  GetClientRect(window, &client);
  const COLORREF ink = s.on ? kDisplayOnInk : kDisplayOffInk;
  const int middle = client.bottom / 2;
  DrawReadoutText(dc, RECT{kDisplayTextLeft, 1, client.right - 3, middle + 1}, signal, ink, true);
  DrawReadoutText(dc, RECT{kDisplayTextLeft, middle, client.right - 3, client.bottom - 1}, level,
                  ink, true);
  EndPaint(window, &ps);
}

static LRESULT OnDisplayMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                void* user) {
  auto* p = static_cast<GeneratorPanel*>(user);
  switch (message) {
    case WM_ERASEBKGND: {
      const RECT& d = kDisplayRect;
      DrawBitmap(reinterpret_cast<HDC>(wparam), 0, 0, d.right - d.left, d.bottom - d.top,
                 p->images.panel, d.left, d.top, SRCCOPY);
      return 1;
    }
    case WM_PAINT: PaintDisplay(p, window); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}
