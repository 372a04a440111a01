// The precision-adjust window: see precision_adjust.h.
//
// How it works. A modeless dialog from an in-memory template. The three
// scales are drawn into one bitmap, a tape behind a fixed marker: higher
// values above the centre. A press in a scale captures the mouse; each move
// steps the value by that scale's step per pixel (the larger of the
// horizontal and vertical movement) and hands it to the control with the
// set-value command and to the owner as a value notification, as if the
// user had moved the control. A press in the header or footer drags the
// window instead. The arithmetic is in precision_scale.cpp.
#include "ctl/precision_adjust.h"

#include <cstdlib>
#include <cstring>

#include "ctl/dialog_template.h"
#include "ctl/dialog_window.h"
#include "ctl/portable/precision_scale.h"

constexpr int kOpeningWidth = 231;
constexpr int kOpeningHeight = 320;
constexpr int kHeaderHeight = 20;
constexpr int kInverseToggleId = 100;

struct PrecisionAdjustState {
  int32_t x, y;
  int32_t width, height;  // the client size once the window exists
  PrecisionTarget shown;
  HGLOBAL template_memory;
  PrecisionScale scale;
  int32_t zone_left[kPrecisionZones];
  int32_t zone_width, zone_height, centre_row;
  HWND previous_capture;
  int32_t active_zone;  // 0: none
  int32_t last_x, last_y;
  HBITMAP scale_bitmap;
  WindowDragState drag;
  HWND inverse_toggle;
  HWND dialog;
};

static PrecisionAdjustState* OpenState() {
  return DialogRecordOf<PrecisionAdjustState>(GetPopupSlot(kSlotPrecision));
}

static bool IsDecibel(const PrecisionAdjustState* s) {
  return (s->shown.flags & kStyleDecibel) != 0;
}

// The control and its records are usable: it was not forgotten and lives.
static bool HasControl(const PrecisionAdjustState* s) {
  return s->shown.control && s->shown.range && IsWindow(s->shown.control);
}

static void LoadValues(PrecisionAdjustState* s) {
  if (!HasControl(s)) return;
  const ValueRange* r = s->shown.range;
  SetupPrecisionScale(&s->scale, r->value, r->minimum, r->maximum, IsDecibel(s));
}

static void Retarget(PrecisionAdjustState* s, const PrecisionTarget* target) {
  s->shown = *target;
  LoadValues(s);
}

// ---------------------------------------------------------------------------
// Drawing.

static void DrawZone(PrecisionAdjustState* s, HDC dc, int zone) {
  const int left = s->zone_left[zone - 1];
  const int right = left + s->zone_width;
  int64_t n = TapeTopIndex(&s->scale, zone, s->centre_row);
  char text[64];
  for (int row = 1; row <= s->zone_height - 2; ++row, --n) {
    const TapeRow tape = PrecisionTapeRow(&s->scale, zone, n);
    if (tape.hatch) {
      SelectObject(dc, GetLibraryPen(kPaletteGrey180));
      MoveToEx(dc, left, row, nullptr);
      LineTo(dc, right, row);
      continue;
    }
    if (tape.label) {
      SelectObject(dc, GetLibraryPen(kPaletteGrey84));
      MoveToEx(dc, left + 2, row, nullptr);
      LineTo(dc, left + 6, row);
      FormatValue(tape.value, text, sizeof text, static_cast<uint8_t>(s->scale.decimals), 0, 0);
      const uint32_t colour = tape.value > 0.0f ? 0 : 12;
      DrawStyledText(dc, TextStyle(colour, 14, 4), left + 9, row - 8, text);
    }
    if (tape.right_tick) {
      SelectObject(dc, GetLibraryPen(kPaletteGrey110));
      MoveToEx(dc, right - 4, row, nullptr);
      LineTo(dc, right, row);
    }
  }
  const int centre = s->centre_row;
  DrawSunkenBox(dc, left + 1, centre - 10, right - 1, centre + 10, 13);
  FormatValue(s->scale.value, text, sizeof text, static_cast<uint8_t>(s->scale.decimals), 0, 1);
  DrawStyledText(dc, TextStyle(kPaletteBlack, kPaletteGrey180, kFont16), left + 5, centre - 8,
                 text);
  const POINT outline[5] = {
      {left, 0}, {right, 0}, {right, s->zone_height - 1}, {left, s->zone_height - 1}, {left, 0}};
  DrawEmbossedPolyline(dc, 0, outline, 5);
}

static void DrawScales(PrecisionAdjustState* s) {
  if (!s->scale_bitmap) return;
  HDC screen = BorrowDc(s->dialog);
  HDC dc = CreateMemoryDc(screen);
  ReturnDc(s->dialog, &screen);
  if (!dc) return;
  HGDIOBJ old_bitmap = SelectObject(dc, s->scale_bitmap);
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteGrey84));
  RECT all = {0, 0, s->width, s->zone_height};
  FillRect(dc, &all, GetLibraryBrush(kPaletteGrey230));
  for (int zone = 1; zone <= kPrecisionZones; ++zone) DrawZone(s, dc, zone);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_bitmap);
  DeleteMemoryDc(&dc);
}

static void CopyScales(PrecisionAdjustState* s, HDC dc) {
  DrawBitmap(dc, 0, kHeaderHeight, s->width, s->zone_height, s->scale_bitmap, 0, 0, SRCCOPY);
}

static void ShowScalesNow(PrecisionAdjustState* s) {
  DrawScales(s);
  HDC dc = BorrowDc(s->dialog);
  if (!dc) return;
  CopyScales(s, dc);
  ReturnDc(s->dialog, &dc);
}

static void Paint(PrecisionAdjustState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(s->dialog, &ps);
  DrawStyledText(dc, kTextStyleEmbossed | TextStyle(kPaletteBlack, kPaletteBlack, kFont16Bold), 5,
                 2, "Adjust Value");
  DrawStyledText(dc, kTextStyleEmbossed | TextStyle(kPaletteBlack, kPaletteBlack, kFont16),
                 s->width - 186, s->height - 18, "Inverse mousemove mode");
  CopyScales(s, dc);
  EndPaint(s->dialog, &ps);
}

// ---------------------------------------------------------------------------
// Mouse.

static bool WantsBeginEnd(const PrecisionAdjustState* s) {
  return HasControl(s) && s->shown.target && (s->shown.target->flags & kNotifyBeginEnd);
}

static void OnPress(HWND dialog, PrecisionAdjustState* s, WPARAM wparam, int x, int y) {
  const int w = s->width, h = s->height;
  if (x > w - 30 && x < w - 6 && y > h - 30 && y < h - 5) {
    SendMessageA(s->inverse_toggle, WM_LBUTTONDOWN, wparam, MAKELPARAM(x, y));
    return;
  }
  if (IsWindowDragging(&s->drag) || s->active_zone) return;
  s->last_x = x;
  s->last_y = y;
  if (y < kHeaderHeight || y > s->zone_height + kHeaderHeight) {
    BeginWindowDrag(&s->drag, x, y);
    return;
  }
  s->active_zone = x < w / 3 ? 1 : x < 2 * w / 3 ? 2 : 3;
  s->previous_capture = SetCapture(dialog);
  if (WantsBeginEnd(s)) {
    SendNotification(s->shown.target, static_cast<uint32_t>(s->shown.control_id) | kNotifyBegin, 0);
  }
}

static void OnMove(HWND dialog, PrecisionAdjustState* s, int x, int y) {
  if (IsWindowDragging(&s->drag)) {
    MoveWindowDrag(&s->drag, x, y);
    return;
  }
  if (!s->active_zone) return;
  const int dx = x - s->last_x, dy = y - s->last_y;
  s->last_x = x;
  s->last_y = y;
  int delta = std::abs(dx) < std::abs(dy) ? dy : dx;
  const ControlPreferences* prefs = GetControlPreferences();
  if (prefs && prefs->a_imode == 1) delta = -delta;
  if (delta == 0) return;
  s->scale.value = MovePrecisionValue(&s->scale, s->active_zone, delta);
  ShowScalesNow(s);
  if (!HasControl(s)) return;
  // Kept inside the control's range (a decibel value converted back may
  // land a rounding step outside), and told to the owner only when taken.
  const PrecisionTarget shown = s->shown;
  const float value =
      ClampToRange(shown.range, PrecisionControlValue(s->scale.value, IsDecibel(s)));
  const uint32_t bits = FloatBits(value);
  SendMessageA(shown.control, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(bits));
  if (DialogRecord(dialog) != s || !HasControl(s)) return;  // the control went away meanwhile
  if (shown.range->value != value) return;  // refused
  SendNotification(shown.target, static_cast<uint32_t>(shown.control_id), bits);
}

// Ends an adjustment; `release` gives the capture back (a capture taken by
// another window stays where it went).
static void EndAdjusting(HWND dialog, PrecisionAdjustState* s, bool release) {
  if (!s->active_zone) return;
  s->active_zone = 0;  // first: releasing the capture comes back here
  HWND previous = s->previous_capture;
  s->previous_capture = nullptr;
  if (release && GetCapture() == dialog) {
    ReleaseCapture();
    if (previous && IsWindow(previous)) SetCapture(previous);
  }
  if (WantsBeginEnd(s)) {
    SendNotification(s->shown.target, static_cast<uint32_t>(s->shown.control_id) | kNotifyEnd, 0);
  }
}

static void OnRelease(HWND dialog, PrecisionAdjustState* s, int x, int y) {
  if (IsWindowDragging(&s->drag)) {
    EndWindowDrag(&s->drag, x, y);
    return;
  }
  EndAdjusting(dialog, s, true);
}

static void OnCaptureChanged(HWND dialog, PrecisionAdjustState* s, HWND new_owner) {
  if (new_owner == dialog) return;
  OnWindowDragCaptureChanged(&s->drag, new_owner);
  EndAdjusting(dialog, s, false);
}

// ---------------------------------------------------------------------------
// Life.

static INT_PTR OnInitDialog(HWND dialog, PrecisionAdjustState* s) {
  AttachDialogRecord(dialog, s);
  s->dialog = dialog;
  SetPopupSlot(kSlotPrecision, dialog);
  SetWindowTextA(dialog, "Precision Tri Slider");
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  SetWindowPos(dialog, nullptr, s->x, s->y, kOpeningWidth + 2 * frame, kOpeningHeight + 2 * frame,
               SWP_NOZORDER);
  ShowWindow(dialog, SW_SHOW);
  InitWindowDrag(&s->drag, dialog);
  RECT client;
  GetClientRect(dialog, &client);
  s->width = client.right;
  s->height = client.bottom;
  s->zone_left[0] = 0;
  s->zone_left[1] = s->width / 3;
  s->zone_left[2] = 2 * s->width / 3;
  s->zone_width = s->width / 3 - 1;
  s->zone_height = s->height - 40;
  s->centre_row = s->zone_height / 2;
  HDC dc = BorrowDc(dialog);
  if (s->zone_height > 0) {
    s->scale_bitmap = TrackGdi(CreateCompatibleBitmap(dc, s->width, s->zone_height));
  }
  ReturnDc(dialog, &dc);
  DrawScales(s);
  s->inverse_toggle = CreateStockToggle(dialog, kInverseToggleId, s->width - 30, s->height - 18, 0);
  const ControlPreferences* prefs = GetControlPreferences();
  if (s->inverse_toggle && prefs && prefs->a_imode == 1) {
    SendMessageA(s->inverse_toggle, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
  }
  return FALSE;
}

static void OnDestroy(HWND dialog, PrecisionAdjustState* s) {
  if (GetCapture() == dialog) ReleaseCapture();
  ReleaseGdi(&s->scale_bitmap);
  if (s->template_memory) GlobalFree(s->template_memory);
  if (g_ctl.notifications_enabled && HasControl(s)) {
    SendMessageA(s->shown.control, WM_COMMAND, static_cast<WPARAM>(s->shown.closing_command), 0);
  }
  if (GetPopupSlot(kSlotPrecision) == dialog) SetPopupSlot(kSlotPrecision, nullptr);
  DetachDialogRecord(dialog);
  std::free(s);
}

static void OnInverseToggle() {
  ControlPreferences* prefs = GetControlPreferences();
  if (prefs) prefs->a_imode = prefs->a_imode == 1 ? 0 : 1;
}

static INT_PTR CALLBACK PrecisionAdjustProc(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  PrecisionAdjustState* s = nullptr;
  INT_PTR result = FALSE;
  if (HandledByDialogSkeleton(dialog, message, lparam, OnInitDialog, &s, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_LBUTTONDOWN: OnPress(dialog, s, wparam, x, y); return TRUE;
    case WM_MOUSEMOVE: OnMove(dialog, s, x, y); return TRUE;
    case WM_LBUTTONUP: OnRelease(dialog, s, x, y); return TRUE;
    case WM_CANCELMODE: OnRelease(dialog, s, s->drag.last_x, s->drag.last_y); return FALSE;
    case WM_CAPTURECHANGED:
      OnCaptureChanged(dialog, s, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == kInverseToggleId) OnInverseToggle();
      return TRUE;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) DestroyWindow(dialog);
      return TRUE;
    case WM_CLOSE: DestroyWindow(dialog); return TRUE;
    case WM_ERASEBKGND: return EraseToTiledBackground(dialog, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: Paint(s); return TRUE;
    case WM_DESTROY: OnDestroy(dialog, s); return TRUE;
    default: return FALSE;
  }
}

// ---------------------------------------------------------------------------
// Interface.

static void BringToTop(PrecisionAdjustState* s) {
  SetWindowPos(s->dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND OpenPrecisionAdjust(HWND parent, int x, int y, const PrecisionTarget* target) {
  if (PrecisionAdjustState* open = OpenState()) {
    Retarget(open, target);
    ShowScalesNow(open);
    BringToTop(open);
    return open->dialog;
  }
  if (g_ctl.start_count <= 0) return nullptr;
  auto* s = static_cast<PrecisionAdjustState*>(std::calloc(1, sizeof(PrecisionAdjustState)));
  if (!s) return nullptr;
  s->x = x;
  s->y = y;
  s->width = kOpeningWidth;
  s->height = kOpeningHeight;
  Retarget(s, target);
  s->template_memory = BuildDialogTemplate(
      WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, 0);
  HWND dialog = s->template_memory
                    ? CreateDialogFromTemplate(s->template_memory, parent, PrecisionAdjustProc,
                                               reinterpret_cast<LPARAM>(s))
                    : nullptr;
  if (!dialog) {
    // No window, so no WM_INITDIALOG: the record is still ours.
    if (s->template_memory) GlobalFree(s->template_memory);
    std::free(s);
    return nullptr;
  }
  return dialog;
}

void RefreshPrecisionAdjust(const PrecisionTarget* target) {
  PrecisionAdjustState* s = OpenState();
  if (!s) return;
  if (s->shown.control == target->control && s->shown.target == target->target) {
    LoadValues(s);
  } else {
    Retarget(s, target);
  }
  ShowScalesNow(s);
  BringToTop(s);
}

void SyncPrecisionAdjust(const PrecisionTarget* target) {
  PrecisionAdjustState* s = OpenState();
  if (!s || s->shown.control != target->control || s->shown.target != target->target) return;
  RefreshPrecisionAdjust(target);
}

void ForgetPrecisionAdjustControl(HWND control) {
  PrecisionAdjustState* s = OpenState();
  if (!s || !control || s->shown.control != control) return;
  std::memset(&s->shown, 0, sizeof s->shown);
  PostMessageA(s->dialog, WM_CLOSE, 0, 0);
}
