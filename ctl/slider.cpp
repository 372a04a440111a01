// The slider: a track image with a thumb (an image or a filled rectangle)
// that moves horizontally or vertically between two margins as the value
// goes from its minimum to its maximum.
//
// How it works. Like the knob, the record starts with the shared
// ValueControl (value_control.h); this file adds the slider's geometry,
// its two mouse preferences ("Mouse Captured" off ends a drag that leaves
// the control; "Direct mouse position" puts the thumb's centre under the
// mouse), the key table with reversed ranges, and drawing. Stepping a
// vertical slider moves the other way round, so that up always raises.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ctl/value_control.h"


struct SliderState {
  ValueControl common;  // first: the shared code sees the record through it
  SliderLook look;
  SliderThumb thumb;
  float thumb_position;  // pixels along the axis
  HBITMAP round_mask;
};

struct SliderCreate {
  ControlPlacement place;
  SliderLook look;
  NotifyTarget target;
  SliderThumb thumb;
  ValueRange range;
};

static bool IsHorizontal(const SliderState* s) { return (s->look.style & kStyleHorizontal) != 0; }

static const ControlPreferences& Prefs() {
  static ControlPreferences defaults;
  const ControlPreferences* prefs = GetControlPreferences();
  return prefs ? *prefs : defaults;
}

static float PositionOf(const SliderState* s, float value) {
  const float position = SliderValueToPosition(&s->common.range, value);
  return std::isfinite(position) ? position : s->common.range.start;
}

// ---------------------------------------------------------------------------
// Drawing.

static void DrawThumb(HDC dc, const SliderState* s) {
  const float along = s->thumb_position;
  const int position = along > -1e6f && along < 1e6f ? static_cast<int>(along) : 0;
  const int x = IsHorizontal(s) ? position : s->look.cross_offset;
  const int y = IsHorizontal(s) ? s->look.cross_offset : position;
  const int w = s->thumb.width, h = s->thumb.height;
  if (!s->thumb.image) {
    HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(s->thumb.pen_index & 15));
    HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(s->thumb.brush_index & 15));
    Rectangle(dc, x, y, x + w, y + h);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    return;
  }
  DrawMasked(dc, x, y, w, h, s->thumb.image, s->look.round_thumb ? s->round_mask : nullptr);
}

static void DrawSlider(HDC dc, const SliderState* s) {
  const ValueControl& c = s->common;
  HBITMAP track = c.dragging && s->look.dragging_track_image ? s->look.dragging_track_image
                                                             : s->look.track_image;
  if (!c.enabled && s->look.disabled_image) track = s->look.disabled_image;
  DrawBitmap(dc, 0, 0, c.width, c.height, track, 0, 0, SRCCOPY);
  DrawThumb(dc, s);
  if (!c.enabled) {
    if (!s->look.disabled_image) DrawDisabledCross(dc, 0, 0, c.width, c.height);
  } else if (c.focused) {
    DrawFocusMark(dc, 0, 0);
  }
}

static void OnPaint(SliderState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s->common.window, &ps);
  DrawSlider(dc, s);
  EndPaint(s->common.window, &ps);
}

static void Redraw(ValueControl* c) {
  SliderState* s = reinterpret_cast<SliderState*>(c);
  s->thumb_position = PositionOf(s, c->range.value);
  InvalidateRect(c->window, nullptr, FALSE);
  UpdateWindow(c->window);
}

// ---------------------------------------------------------------------------
// Moving the value.

// Stepping counts up to the right and, on a vertical slider, upward.
static bool Step(SliderState* s, int units) {
  return StepValue(&s->common, IsHorizontal(s) ? units : -units);
}

// Puts the thumb's centre under the mouse; redraws when the value changed.
static bool FollowMouse(SliderState* s, int x, int y) {
  ValueControl* c = &s->common;
  const int corner = IsHorizontal(s) ? x - (s->thumb.width >> 1) : y - (s->thumb.height >> 1);
  const float value = SliderPositionToValue(&c->range, static_cast<float>(corner));
  if (value == c->range.value) return false;
  c->range.value = value;
  c->redraw(c);
  return true;
}

static void BeginSliderDrag(SliderState* s, int x, int y, bool latency) {
  ValueControl* c = &s->common;
  StartDrag(c, x, y);
  if (Prefs().s_settopos == 1) FollowMouse(s, x, y);
  AnnounceDrag(c, latency);
}

// ---------------------------------------------------------------------------
// Mouse.

static void OnLeftButtonDown(SliderState* s, WPARAM keys, int x, int y) {
  ValueControl* c = &s->common;
  if (keys & MK_CONTROL) {
    EditValue(c);
    return;
  }
  if (keys & MK_SHIFT) {
    if (c->enabled && !(c->style & kStyleNoEditing)) AdjustValue(c);
    return;
  }
  SetFocus(c->window);
  if (c->dragging || !c->enabled) return;
  BeginSliderDrag(s, x, y, true);
}

static void OnMouseMove(SliderState* s, WPARAM keys, int x, int y) {
  ValueControl* c = &s->common;
  if (!c->moves_allowed) return;
  const bool captured = Prefs().s_capture != 0;
  if (!c->dragging) {
    // With "Mouse Captured" off, a held button that enters starts a drag.
    if (!captured && (keys & MK_LBUTTON) && c->enabled)
      BeginSliderDrag(s, x, y, false);
    else {
      c->last_x = x;
      c->last_y = y;
    }
    return;
  }
  if (!captured && (x < 0 || x > c->width || y < 0 || y > c->height)) {
    c->last_x = x;
    c->last_y = y;
    EndDrag(c, true);
    return;
  }
  const int dx = x - c->last_x, dy = y - c->last_y;
  c->last_x = x;
  c->last_y = y;
  if (Prefs().s_settopos == 1) {
    if (FollowMouse(s, x, y)) RefreshPrecision(c);
    UpdateDragPopup(c);
    if (c->style & kNotifyWhileMoving) NotifyOwner(c, c->id, c->range.value);
    return;
  }
  const int units = IsHorizontal(s) ? dx : -dy;  // a pixel is a step; up raises
  if (units == 0) return;
  if (!StepValue(c, units)) return;
  UpdateDragPopup(c);
  RefreshPrecision(c);
}

static void OnRightButtonDown(SliderState* s, int x, int y) {
  ValueControl* c = &s->common;
  if (!c->enabled || c->dragging) return;
  ShowValueMenu(&c->menu, c->window, x, y, &c->range);
}

static void OnMouseWheel(SliderState* s, WPARAM wparam) {
  const int units = -5 * GET_WHEEL_DELTA_WPARAM(wparam) / 120;
  if (Step(s, units)) RefreshPrecision(&s->common);
}

// ---------------------------------------------------------------------------
// Keys.

static int KeyUnits(const SliderState* s, WPARAM key) {
  const bool reversed = s->common.range.minimum >= s->common.range.maximum;
  const bool horizontal = IsHorizontal(s);
  switch (key) {
    case VK_LEFT: return reversed ? 1 : -1;
    case VK_RIGHT: return reversed ? -1 : 1;
    case VK_UP: return reversed ? -10 : horizontal ? 10 : -10;
    case VK_DOWN: return reversed ? 10 : horizontal ? -10 : 10;
    default: return 0;
  }
}

static LRESULT OnKeyDown(SliderState* s, WPARAM key) {
  ValueControl* c = &s->common;
  if (key == VK_INSERT) {
    EditValue(c);
  } else if (const int units = KeyUnits(s, key)) {
    if (Step(s, units)) RefreshPrecision(c);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Life.

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const SliderCreate*>(create->lpCreateParams);
  auto* s = NewRecord<SliderState>(record);
  if (!s) return -1;
  ValueControl* c = &s->common;
  const SliderLook& look = record->look;
  const ValueControlSetup setup = {record->place,  look.width,    look.height, look.style,
                                   record->target, record->range, kSliderMenu, Redraw,
                                   {look.cross_offset, 0}};
  InitValueControl(c, window, &setup);
  s->look = record->look;
  s->thumb = record->thumb;
  float minimum_position, maximum_position;
  if (IsHorizontal(s)) {
    minimum_position = static_cast<float>(s->look.margin_minimum);
    maximum_position = static_cast<float>(c->width - s->look.margin_maximum - s->thumb.width);
  } else {
    minimum_position = static_cast<float>(c->height - s->look.margin_minimum - s->thumb.height);
    maximum_position = static_cast<float>(s->look.margin_maximum);
  }
  // A track no longer than its thumb leaves the thumb nowhere to go: it
  // stays at the minimum's end (the range then has no extent).
  const float travel =
      IsHorizontal(s) ? maximum_position - minimum_position : minimum_position - maximum_position;
  if (!(travel > 0.0f)) maximum_position = minimum_position;
  SetupSliderRange(&c->range, minimum_position, maximum_position);
  s->thumb_position = PositionOf(s, c->range.value);
  if (c->style & kStyleDecibel) c->range.decimals = 1;
  if (s->look.round_thumb && s->thumb.image) s->round_mask = GetRoundMask(window, s->thumb.width);
  return FinishValueControlCreate(window, s, c, true);
}

LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SliderState* s = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &s, &result)) return result;
  if (OnCommonValueMessage(&s->common, message, wparam, lparam, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_PAINT: OnPaint(s); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(s, wparam, x, y); break;
    case WM_MBUTTONDOWN: EditValue(&s->common); break;
    case WM_MOUSEMOVE: OnMouseMove(s, wparam, x, y); return 0;
    case WM_RBUTTONDOWN: OnRightButtonDown(s, x, y); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(s, wparam); return 0;
    case WM_KEYDOWN: return OnKeyDown(s, wparam);
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// Creation.

HWND CreateSlider(HWND parent, int id, int x, int y, const SliderLook* look,
                  const NotifyTarget* target, const SliderThumb* thumb, const ValueRange* range) {
  SliderCreate record = {PlaceControl(parent, id, x, y), *look, *target, *thumb, *range};
  if (record.look.width == 0) {
    GetBitmapSize(record.look.track_image, &record.look.width, &record.look.height);
  }
  if (record.thumb.width == 0) {
    GetBitmapSize(record.thumb.image, &record.thumb.width, &record.thumb.height);
  }
  return CreateControlWindow(kSliderClass, parent, id, x, y, record.look.width, record.look.height,
                             &record);
}

HWND CreateSliderEx(HWND parent, int id, int x, int y, uint32_t style, HBITMAP track_image,
                    HBITMAP thumb_image, float minimum, float maximum, float default_value,
                    float step, int decimals, int margin_minimum, int margin_maximum,
                    int cross_offset, NotifyCallback callback, void* user_data) {
  SliderLook look;
  std::memset(&look, 0, sizeof look);
  look.track_image = track_image;
  look.margin_minimum = static_cast<int16_t>(margin_minimum);
  look.margin_maximum = static_cast<int16_t>(margin_maximum);
  look.style = style;
  look.cross_offset = cross_offset;
  SliderThumb thumb;
  std::memset(&thumb, 0, sizeof thumb);
  thumb.image = thumb_image;
  thumb.pen_index = StylePen(style);
  thumb.brush_index = StyleBrush(style);
  const NotifyTarget target = ValueControlOwner(parent, style, callback, user_data);
  const ValueRange range = PlainValueRange(minimum, maximum, default_value, step,
                                           static_cast<uint32_t>(decimals), style);
  return CreateSlider(parent, id, x, y, &look, &target, &thumb, &range);
}
