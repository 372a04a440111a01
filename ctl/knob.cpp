// The rotary knob: a round image with a pointer bar that turns clockwise
// from a start angle to an end angle as the value goes from its minimum to
// its maximum, on a linear or logarithmic scale.
//
// How it works. The record starts with the ValueControl that knobs and
// sliders share (value_control.h: drag session, notifications, editors,
// menu commands); this file adds what is the knob's own: the angles, the
// two mouse modes (relative drag, or following the pointer's angle around
// the centre), the wheel and keys, and drawing. The angle maths is in
// value_range.cpp and knob_geometry.cpp.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ctl/portable/knob_geometry.h"
#include "ctl/value_control.h"

struct KnobState {
  ValueControl common;  // first: the shared code sees the record through it
  KnobLook look;
  KnobPointer pointer;
  float drawn_angle;
  float span;
  float initial_angle;  // where the value was at creation (the move arc's origin)
  HBITMAP round_mask;
};

struct KnobCreate {
  ControlPlacement place;
  KnobLook look;
  NotifyTarget target;
  KnobPointer pointer;
  ValueRange range;
};

static const ControlPreferences& Prefs() {
  static ControlPreferences defaults;
  const ControlPreferences* prefs = GetControlPreferences();
  return prefs ? *prefs : defaults;
}

// ---------------------------------------------------------------------------
// Drawing.

static void DrawMoveArc(HDC dc, const KnobState* k) {
  const int cx = k->look.centre_x, cy = k->look.centre_y;
  const float outer = std::floor(k->look.width * 0.5f + 0.5f);
  const KnobPoint from = KnobRadiusEnd(cx, cy, outer, k->initial_angle);
  const KnobPoint to = KnobRadiusEnd(cx, cy, outer, k->drawn_angle);
  if (from.x == to.x && from.y == to.y) return;
  // Pie runs counter-clockwise from its first radius: start from the radius
  // further along the (clockwise) sweep.
  const bool raised = KnobSweepDistance(k->common.range.start, k->drawn_angle) >
                      KnobSweepDistance(k->common.range.start, k->initial_angle);
  const float first = raised ? k->drawn_angle : k->initial_angle;
  const float second = raised ? k->initial_angle : k->drawn_angle;
  const int r = static_cast<int>(outer);
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteWhite));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const int old_mix = SetROP2(dc, R2_XORPEN);
  KnobPoint a = KnobRadiusEnd(cx, cy, outer, first), b = KnobRadiusEnd(cx, cy, outer, second);
  Pie(dc, cx - r, cy - r, cx + r - 1, cy + r - 1, a.x, a.y, b.x, b.y);
  SetROP2(dc, old_mix);
  const float inner = 0.3f * k->look.width;
  const int ri = static_cast<int>(std::floor(inner + 0.5f));
  a = KnobRadiusEnd(cx, cy, inner, first);
  b = KnobRadiusEnd(cx, cy, inner, second);
  SelectObject(dc, GetLibraryPen(kPaletteBlack));
  SelectObject(dc, GetLibraryBrush(raised ? kPaletteOrange : kPaletteGreen));
  Pie(dc, cx - ri, cy - ri, cx + ri - 1, cy + ri - 1, a.x, a.y, b.x, b.y);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

static void DrawPointer(HDC dc, const KnobState* k) {
  KnobPoint corners[4];
  KnobPointerPolygon(k->look.centre_x, k->look.centre_y, k->drawn_angle, k->pointer.length,
                     k->pointer.width, (k->look.style & kStyleOuterTick) != 0, corners);
  POINT polygon[4];
  for (int i = 0; i < 4; ++i) polygon[i] = {corners[i].x, corners[i].y};
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(k->pointer.pen_index & 15));
  HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(k->pointer.brush_index & 15));
  Polygon(dc, polygon, 4);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

static void DrawKnob(HDC dc, const KnobState* k) {
  const ValueControl& c = k->common;
  const int w = c.width, h = c.height;
  const HBITMAP mask = k->look.round ? k->round_mask : nullptr;
  HBITMAP face = c.dragging && k->look.dragging_image ? k->look.dragging_image : k->look.image;
  DrawMasked(dc, 0, 0, w, h, face, mask);
  if (!c.enabled) {
    if (k->look.disabled_image) {
      DrawMasked(dc, 0, 0, w, h, k->look.disabled_image, mask);
    } else {
      DrawDisabledCross(dc, 4, 4, w - 4, h - 4);
    }
    return;
  }
  if (c.focused) {
    if (k->look.round) {
      HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteBlack));
      HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(kPaletteOrange));
      const int x = k->look.centre_x, y = h * 3 / 4;
      Ellipse(dc, x - 2, y - 2, x + 2, y + 2);
      SelectObject(dc, old_brush);
      SelectObject(dc, old_pen);
    } else {
      DrawFocusMark(dc, 0, 0);
    }
  }
  if (Prefs().rot_move == 1 && k->drawn_angle != k->initial_angle) DrawMoveArc(dc, k);
  DrawPointer(dc, k);
}

static void OnPaint(KnobState* k) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(k->common.window, &ps);
  DrawKnob(dc, k);
  EndPaint(k->common.window, &ps);
}

// The shared code's redraw: the angle follows the value, drawn at once.
static void Redraw(ValueControl* c) {
  KnobState* k = reinterpret_cast<KnobState*>(c);
  k->drawn_angle = KnobValueToAngle(&c->range, c->range.value);
  InvalidateRect(c->window, nullptr, FALSE);
  UpdateWindow(c->window);
}

// ---------------------------------------------------------------------------
// Mouse.

static void OnLeftButtonDown(KnobState* k, WPARAM keys, int x, int y) {
  ValueControl* c = &k->common;
  const bool editable = c->enabled && !(c->style & kStyleNoEditing);
  if (keys & MK_CONTROL) {
    if (editable) EditValue(c);
    return;
  }
  if (keys & MK_SHIFT) {
    if (editable) AdjustValue(c);
    return;
  }
  SetFocus(c->window);
  if (c->dragging || !c->enabled) return;
  StartDrag(c, x, y);
  AnnounceDrag(c, true);
}

static void FollowPointerAngle(KnobState* k, int x, int y) {
  ValueControl* c = &k->common;
  float angle;
  if (!KnobPointerAngle(&c->range, k->span, static_cast<float>(x - k->look.centre_x),
                        static_cast<float>(k->look.centre_y - y), &angle)) {
    return;  // too near the centre to tell an angle
  }
  c->last_x = x;
  c->last_y = y;
  if (angle != k->drawn_angle) {
    const float value = ClampToRange(&c->range, KnobAngleToValue(&c->range, angle));
    if (value != c->range.value) {
      c->range.value = value;
      k->drawn_angle = angle;
      InvalidateRect(c->window, nullptr, FALSE);
      UpdateWindow(c->window);
      RefreshPrecision(c);
    }
  }
  UpdateDragPopup(c);
  if (c->style & kNotifyWhileMoving) NotifyOwner(c, c->id, c->range.value);
}

static void DragRelative(KnobState* k, int x, int y) {
  ValueControl* c = &k->common;
  const int dx = x - c->last_x, dy = y - c->last_y;
  c->last_x = x;
  c->last_y = y;
  if (dx == 0 && dy == 0) return;
  const int units = std::abs(dx) >= std::abs(dy) ? dx : (Prefs().rot_mode & kRotInverse) ? dy : -dy;
  if (!StepValue(c, units)) return;
  UpdateDragPopup(c);
  RefreshPrecision(c);
}

static void OnMouseMove(KnobState* k, int x, int y) {
  if (!k->common.dragging || !k->common.moves_allowed) return;
  if (Prefs().rot_mode & kRotAngular) {
    FollowPointerAngle(k, x, y);
  } else {
    DragRelative(k, x, y);
  }
}

static void OnRightButtonDown(KnobState* k, WPARAM keys, int x, int y) {
  ValueControl* c = &k->common;
  if (!c->enabled || c->dragging) return;
  if (keys & MK_SHIFT) {
    if (!(c->style & kStyleNoEditing)) AdjustValue(c);
    return;
  }
  ShowValueMenu(&c->menu, c->window, x, y, &c->range);
}

static void OnMiddleButtonDown(KnobState* k, WPARAM keys) {
  ValueControl* c = &k->common;
  if (c->dragging || !c->enabled || (c->style & kStyleNoEditing)) return;
  if (keys & MK_SHIFT) {
    AdjustValue(c);
  } else {
    EditValue(c);
  }
}

static void OnMouseWheel(KnobState* k, WPARAM wparam) {
  ValueControl* c = &k->common;
  const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
  const int units = ((Prefs().rot_mode & kRotInverse) ? -5 : 5) * delta / WHEEL_DELTA;
  if (StepValue(c, units)) RefreshPrecision(c);
}

// ---------------------------------------------------------------------------
// Keys.

static LRESULT OnKey(KnobState* k, UINT message, WPARAM key, LPARAM lparam) {
  ValueControl* c = &k->common;
  if (c->style & kNotifyPassKeys) {
    PostMessageA(c->parent, message, key, lparam);
    return 0;
  }
  if (message != WM_KEYDOWN) return DefWindowProcA(c->window, message, key, lparam);
  int units = 0;
  switch (key) {
    case VK_LEFT: units = -1; break;
    case VK_RIGHT: units = 1; break;
    case VK_UP: units = 10; break;
    case VK_DOWN: units = -10; break;
    case VK_INSERT:
      if (!c->dragging && c->enabled && !(c->style & kStyleNoEditing)) EditValue(c);
      return 0;
    default: return 0;
  }
  if (c->dragging || (c->style & kStyleSpringBack)) return 0;
  if (StepValue(c, units)) RefreshPrecision(c);
  return 0;
}

// ---------------------------------------------------------------------------
// Life.

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const KnobCreate*>(create->lpCreateParams);
  auto* k = NewRecord<KnobState>(record);
  if (!k) return -1;
  ValueControl* c = &k->common;
  const KnobLook& look = record->look;
  const ValueControlSetup setup = {record->place, look.width,    look.height, look.style,
                                   record->target, record->range, kKnobMenu,   Redraw,
                                   {look.centre_x, look.centre_y}};
  InitValueControl(c, window, &setup);
  k->look = record->look;
  k->pointer = record->pointer;
  k->span = SetupKnobRange(&c->range, k->look.start_degrees, k->look.end_degrees);
  k->drawn_angle = k->initial_angle = KnobValueToAngle(&c->range, c->range.value);
  if (k->look.round) k->round_mask = GetRoundMask(window, c->width);
  if (c->style & kStyleDecibel) c->range.decimals = 3;
  return FinishValueControlCreate(window, k, c, !(c->style & kStyleNoEditing));
}

static void OnMove(KnobState* k, int x, int y) {
  k->common.x = x;
  k->common.y = y;
}

LRESULT CALLBACK KnobProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  KnobState* k = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &k, &result)) return result;
  if (OnCommonValueMessage(&k->common, message, wparam, lparam, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_PAINT: OnPaint(k); return 0;
    case WM_MOVE: OnMove(k, x, y); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(k, wparam, x, y); break;
    case WM_MOUSEMOVE: OnMouseMove(k, x, y); return 0;
    case WM_RBUTTONDOWN: OnRightButtonDown(k, wparam, x, y); return 0;
    case WM_MBUTTONDOWN: OnMiddleButtonDown(k, wparam); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(k, wparam); return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: return OnKey(k, message, wparam, lparam);
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// Creation.

HWND CreateKnob(HWND parent, int id, int x, int y, const KnobLook* look, const NotifyTarget* target,
                const KnobPointer* pointer, const ValueRange* range) {
  KnobCreate record = {PlaceControl(parent, id, x, y), *look, *target, *pointer, *range};
  if (record.look.width == 0) {
    GetBitmapSize(record.look.image, &record.look.width, &record.look.height);
  }
  return CreateControlWindow(kKnobClass, parent, id, x, y, record.look.width, record.look.height,
                             &record);
}

HWND CreateKnobEx(HWND parent, int id, int x, int y, uint32_t style, HBITMAP image, int centre_x,
                  int centre_y, int start_degrees, int end_degrees, float minimum, float maximum,
                  float default_value, float step, NotifyCallback callback, void* user_data) {
  KnobLook look;
  std::memset(&look, 0, sizeof look);
  GetBitmapSize(image, &look.width, &look.height);
  look.image = image;
  look.start_degrees = static_cast<int16_t>(start_degrees);
  look.end_degrees = static_cast<int16_t>(end_degrees);
  look.round = 1;
  look.style = style;
  look.centre_x = centre_x;
  look.centre_y = centre_y;
  KnobPointer pointer = {look.width / 3 + 2, 2, StylePen(style), StyleBrush(style)};
  const NotifyTarget target = ValueControlOwner(parent, style, callback, user_data);
  const ValueRange range = PlainValueRange(minimum, maximum, default_value, step, 3, style);
  return CreateKnob(parent, id, x, y, &look, &target, &pointer, &range);
}
