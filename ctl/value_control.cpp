// The behaviour knobs and sliders share: see value_control.h.
#include "ctl/value_control.h"

#include <cstdlib>
#include <cstring>

#include "ctl/portable/preferences.h"

ValueControl* ValueControlOf(HWND window) { return RecordOf<ValueControl>(window); }

void InitValueControl(ValueControl* c, HWND window, const ValueControlSetup* setup) {
  c->window = window;
  c->parent = setup->place.parent;
  c->x = setup->place.x;
  c->y = setup->place.y;
  c->width = setup->width;
  c->height = setup->height;
  c->id = setup->place.id;
  c->enabled = 1;
  c->focused = 0;
  c->dragging = 0;
  c->moves_allowed = 1;
  c->latency_timer = 0;
  c->anchor = setup->anchor;
  c->style = setup->style;
  c->target = setup->target;
  c->range = setup->range;
  c->kind = setup->kind;
  c->redraw = setup->redraw;
  c->text = ValueTextHook{nullptr, nullptr};
}

LRESULT FinishValueControlCreate(HWND window, void* record, ValueControl* c, bool editable) {
  const bool decibel = (c->style & kStyleDecibel) != 0;
  if (!BuildValueMenu(&c->menu, c->kind, &c->range, editable, decibel)) {
    std::free(record);
    return -1;
  }
  AttachRecord(window, record);
  return 0;
}

NotifyTarget ValueControlOwner(HWND parent, uint32_t style, NotifyCallback callback,
                               void* user_data) {
  return {parent, callback, style | (callback ? kNotifyByCallback : 0), user_data};
}

ValueRange PlainValueRange(float minimum, float maximum, float default_value, float step,
                           uint32_t decimals, uint32_t style) {
  ValueRange range;
  std::memset(&range, 0, sizeof range);
  range.minimum = minimum;
  range.maximum = maximum;
  range.default_value = default_value;
  range.step = step;
  range.decimals = decimals;
  range.style = style;
  return range;
}

bool NotifyOwner(ValueControl* c, uint32_t code, float value) {
  HWND window = c->window;
  SendNotification(&c->target, code, FloatBits(value));
  return IsOurRecord(window, c);
}

static bool WantsBeginEnd(const ValueControl* c) {
  return (c->target.flags & kNotifyBeginEnd) != 0;
}

bool NotifyUserChange(ValueControl* c, bool given) {
  if (WantsBeginEnd(c) && !NotifyOwner(c, c->id | kNotifyBegin, 0.0f)) return false;
  if (!NotifyOwner(c, c->id | (given ? kNotifyGivenValue : 0u), c->range.value)) return false;
  return !WantsBeginEnd(c) || NotifyOwner(c, c->id | kNotifyEnd, 0.0f);
}

static PrecisionTarget PrecisionTargetOf(ValueControl* c) {
  return {c->window, c->style, kClosingCommand, &c->target, c->id, &c->range};
}

void RefreshPrecision(ValueControl* c) {
  const PrecisionTarget p = PrecisionTargetOf(c);
  RefreshPrecisionAdjust(&p);
}

void SyncPrecision(ValueControl* c) {
  const PrecisionTarget p = PrecisionTargetOf(c);
  SyncPrecisionAdjust(&p);
}

// ---------------------------------------------------------------------------
// The drag session.

static bool PopupEnabled() {
  const ControlPreferences* prefs = GetControlPreferences();
  return prefs && (prefs->infovalue & kInfoValueOn);
}

static void PopupText(const ValueControl* c, char* text, size_t size) {
  if (c->text.format) {
    text[0] = '\0';
    c->text.format(c->text.user_data, c->range.value, text, size);
  } else {
    FormatRangeValue(&c->range, c->range.value, 0, text, size);
  }
}

void UpdateDragPopup(ValueControl* c) {
  if (!PopupEnabled()) return;
  char text[64];
  PopupText(c, text, sizeof text);
  UpdateValuePopup(text);
}

void StartDrag(ValueControl* c, int x, int y) {
  SetCapture(c->window);
  if (PopupEnabled()) {
    char text[64];
    PopupText(c, text, sizeof text);
    const POINT at = ValuePopupOrigin(ValuePopupCorner(GetControlPreferences()->infovalue), c->x,
                                      c->y, c->width, c->height);
    ShowValuePopup(c->parent, at.x, at.y, text);
  }
  c->last_x = x;
  c->last_y = y;
  c->dragging = 1;
}

bool AnnounceDrag(ValueControl* c, bool latency) {
  c->redraw(c);
  RefreshPrecision(c);
  if (WantsBeginEnd(c) && !NotifyOwner(c, c->id | kNotifyBegin, 0.0f)) return false;
  const ControlPreferences* prefs = GetControlPreferences();
  const UINT delay = prefs ? prefs->rot_latency : 0;
  if (latency && delay > 0 && c->dragging) {
    c->moves_allowed = 0;
    c->latency_timer = SetTimer(c->window, kLatencyTimerId, delay, nullptr);
    if (!c->latency_timer) c->moves_allowed = 1;
  } else {
    c->moves_allowed = 1;
  }
  return true;
}

static void KillLatencyTimer(ValueControl* c) {
  if (c->latency_timer) KillTimer(c->window, kLatencyTimerId);
  c->latency_timer = 0;
  c->moves_allowed = 1;
}

void OnLatencyTimer(ValueControl* c) { KillLatencyTimer(c); }

// The value at the release. An owner that destroys the control from here
// takes the drag's pop-up with it (the destruction no longer sees a drag).
static bool ReportRelease(ValueControl* c, float value) {
  if (NotifyOwner(c, c->id, value)) return true;
  HideValuePopup();
  return false;
}

bool EndDrag(ValueControl* c, bool release_capture) {
  if (!c->dragging) return true;
  c->dragging = 0;  // first: releasing the capture comes back as WM_CAPTURECHANGED
  KillLatencyTimer(c);
  if (release_capture && GetCapture() == c->window) ReleaseCapture();
  c->redraw(c);
  if (!ReportRelease(c, c->range.value)) return false;
  if (c->kind == kKnobMenu && (c->style & kStyleSpringBack)) {
    c->range.value = ClampToRange(&c->range, c->range.default_value);
    c->redraw(c);
    if (!ReportRelease(c, c->range.value)) return false;
  }
  HideValuePopup();
  RefreshPrecision(c);
  return !WantsBeginEnd(c) || NotifyOwner(c, c->id | kNotifyEnd, 0.0f);
}

void OnValueCaptureChanged(ValueControl* c, HWND new_owner) {
  if (c->dragging && new_owner != c->window) EndDrag(c, false);
}

// ---------------------------------------------------------------------------
// Value changes.

bool StepValue(ValueControl* c, int units) {
  if (units == 0) return true;  // a wheel delta below a notch moves nothing
  if (StepRangeValue(&c->range, units)) c->redraw(c);
  if (c->style & kNotifyWhileMoving) return NotifyOwner(c, c->id, c->range.value);
  return true;
}

bool SetValueByUser(ValueControl* c, float value, bool given) {
  if (!RangeHolds(&c->range, value)) return true;  // refused: the owner hears nothing
  if (SetRangeValue(&c->range, value)) c->redraw(c);
  if (!NotifyUserChange(c, given)) return false;
  RefreshPrecision(c);
  return true;
}

static POINT ScreenAnchor(const ValueControl* c, int less) {
  POINT at = {c->anchor.x, c->anchor.y};
  ClientToScreen(c->window, &at);
  at.x -= less;
  at.y -= less;
  return at;
}

// What a typed answer sets; false when it sets nothing: an answer without a
// number (that is not minus infinity on a decibel control).
static bool ReadAnswer(const ValueControl* c, bool decibel, const char* answer, float* value) {
  if (decibel) return ReadDecibelAnswer(&c->range, answer, value) != 0;
  long double typed = 0;
  if (!ParseTypedValue(answer, &typed)) return false;
  *value = FiniteFloat(static_cast<double>(typed));
  return true;
}

// The quick edit box on the value as the control shows it ("- inf" for a
// silent decibel control). Enter on an untouched box changes nothing, however
// the shown text rounded the value; the same text typed anew is an answer.
static bool EditAsText(ValueControl* c, bool decibel) {
  char text[64];
  if (decibel) {
    FormatRangeValue(&c->range, c->range.value, 0, text, sizeof text);
  } else {
    FormatValue(c->range.value, text, sizeof text, static_cast<uint8_t>(c->range.decimals), 0, 0);
  }
  const POINT at = ScreenAnchor(c, 0);
  HWND window = c->window;
  int edited = 0;
  char* answer = OpenQuickEdit(window, kTextStyleValue, at.x, at.y, 100, 20, text, &edited);
  if (!IsOurRecord(window, c)) {  // closed from inside the box's modal loop
    std::free(answer);
    return false;
  }
  if (!answer) return true;
  const bool typed = answer[0] != '\0' && edited;
  float value = 0.0f;
  const bool read = typed && ReadAnswer(c, decibel, answer, &value);
  std::free(answer);
  return !read || SetValueByUser(c, value, true);
}

static bool EditAsTime(ValueControl* c, bool reciprocal) {
  const float value = c->range.value;
  const float seconds = reciprocal ? 1.0f / (value > 1.0e-8f ? value : 1.0e-8f) : value;
  const POINT at = ScreenAnchor(c, 0);
  HWND window = c->window;
  const float answer = OpenTimeDialog(window, kTextStyleValue, at.x, at.y, seconds);
  if (!IsOurRecord(window, c)) return false;
  if (answer == kTimeDialogCancel) return true;
  return SetValueByUser(c, reciprocal ? 1.0f / (answer > 1.0e-8f ? answer : 1.0e-8f) : answer,
                        true);
}

void EditValue(ValueControl* c) {
  if ((c->style & kStyleDecibel) && !EditAsText(c, true)) return;
  if ((c->style & kStyleEditQuick) && !EditAsText(c, false)) return;
  if ((c->style & kStyleEditTime) && !EditAsTime(c, false)) return;
  if (c->kind == kKnobMenu && (c->style & kStyleEditReciprocal)) EditAsTime(c, true);
}

void AdjustValue(ValueControl* c) {
  const POINT at = ScreenAnchor(c, 2);
  const PrecisionTarget p = PrecisionTargetOf(c);
  OpenPrecisionAdjust(c->window, at.x, at.y, &p);
}

// ---------------------------------------------------------------------------
// Commands.

static void SetEnabled(ValueControl* c, bool enabled) {
  if (!enabled && c->dragging && !EndDrag(c, true)) return;
  if ((c->enabled != 0) == enabled) return;
  c->enabled = enabled ? 1 : 0;
  InvalidateRect(c->window, nullptr, FALSE);
}

static bool ValueItemsOn(const ValueControl* c) {
  return c->kind == kSliderMenu || !(c->style & kStyleNoEditing);
}

LRESULT OnValueCommand(ValueControl* c, WPARAM wparam, LPARAM lparam) {
  const int command = static_cast<int>(LOWORD(wparam));
  switch (command) {
    case kCtlEnable: SetEnabled(c, true); return 0;
    case kCtlDisable: SetEnabled(c, false); return 0;
    case kCtlGetValue: return static_cast<LRESULT>(FloatBits(c->range.value));
    case kCtlSetValue:
      if (SetRangeValue(&c->range, FloatFromBits(static_cast<uint32_t>(lparam)))) {
        c->redraw(c);
        SyncPrecision(c);
      }
      return 0;
    case kCtlSetValueText: {
      const auto* hook = reinterpret_cast<const ValueTextHook*>(lparam);
      c->text = hook ? *hook : ValueTextHook{nullptr, nullptr};
      if (c->dragging) UpdateDragPopup(c);
      return 0;
    }
    case kMenuDefault:
      if (c->enabled) SetValueByUser(c, c->range.default_value, true);
      return 0;
    case kMenuMinimum:
    case kMenuMaximum:
      if (ValueItemsOn(c)) {
        SetValueByUser(c, command == kMenuMinimum ? c->range.minimum : c->range.maximum, true);
      }
      return 0;
    case kMenuEditValue:
      if (c->kind == kSliderMenu || (c->enabled && !(c->style & kStyleNoEditing))) EditValue(c);
      return 0;
    case kMenuAdjustValue:
      if (c->enabled && !(c->style & kStyleNoEditing)) AdjustValue(c);
      return 0;
    default: break;
  }
  ControlPreferences* prefs = GetControlPreferences();
  if (prefs && ApplySettingsCommand(prefs, c->kind, command) && command == kMenuShowMoves) {
    InvalidateRect(c->window, nullptr, TRUE);
  }
  return 0;
}

static void ReleaseValueControl(ValueControl* c) {
  ForgetPrecisionAdjustControl(c->window);
  if (c->latency_timer) KillTimer(c->window, kLatencyTimerId);
  c->latency_timer = 0;
  if (c->dragging) HideValuePopup();
  c->dragging = 0;
  if (GetCapture() == c->window) ReleaseCapture();
  DestroyValueMenu(&c->menu);
}

// The record starts with the ValueControl: freeing it frees the knob's or
// slider's whole record.
static void OnValueControlDestroy(ValueControl* c) {
  DetachRecord(c->window);
  ReleaseValueControl(c);
  std::free(c);
}

bool OnCommonValueMessage(ValueControl* c, UINT message, WPARAM wparam, LPARAM lparam,
                          LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_DESTROY: OnValueControlDestroy(c); return true;
    case WM_ERASEBKGND: *result = 1; return true;  // the control paints all of itself
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      c->focused = message == WM_SETFOCUS ? 1 : 0;
      InvalidateRect(c->window, nullptr, FALSE);
      return true;
    case WM_LBUTTONUP:
    case WM_CANCELMODE: EndDrag(c, true); return true;
    case WM_CAPTURECHANGED: OnValueCaptureChanged(c, reinterpret_cast<HWND>(lparam)); return true;
    case WM_TIMER:
      if (wparam == kLatencyTimerId) OnLatencyTimer(c);
      return true;
    case WM_LBUTTONDBLCLK:
      if (c->enabled) SetValueByUser(c, c->range.default_value, true);
      return true;
    case WM_COMMAND: *result = OnValueCommand(c, wparam, lparam); return true;
    case WM_CLOSE: DestroyWindow(c->window); return true;
    default: return false;
  }
}
