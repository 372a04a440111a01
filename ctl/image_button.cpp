// The image button: a two-image control with four behaviours (push with
// optional auto-repeat, toggle, select, display-only indicator), and the
// focus cycling that windows hosting controls use.
//
// How it works. The value is 0.0 or 1.0 and picks the off or on image. A
// press (left button, or Enter/Space as a click at (1, 1)) acts by mode; a
// push button holds the mouse capture until its release and, with
// auto-repeat, a 50 ms timer notifies on a schedule that speeds up the
// longer the button is held. Every change reaches the owner through
// SendNotification.
#include <cstdlib>
#include <cstring>

#include "ctl/control_window.h"
#include "ctl/library_state.h"

constexpr UINT_PTR kRepeatTimerId = 100;
constexpr UINT kRepeatPeriodMs = 50;

struct ImageButtonState {
  HWND parent;
  int32_t x, y;
  uint16_t id;
  int32_t enabled;
  int32_t focused;
  ImageButtonLook look;
  NotifyTarget target;
  float value;
  HBITMAP round_mask;
  int32_t pressed;
  HWND previous_capture;
  uint32_t repeat_ticks;
  UINT_PTR repeat_timer;
  int32_t repeat_paused;
};

// What the creation functions hand to WM_CREATE.
struct ImageButtonCreate {
  ControlPlacement place;
  ImageButtonLook look;
  NotifyTarget target;
};

static uint32_t Mode(const ImageButtonState* s) { return s->look.mode & kButtonModeMask; }

// Sends one notification. The owner's code may destroy the button (a push
// that closes its window): false then, and the caller must not touch `s`.
static bool Notify(HWND window, ImageButtonState* s, uint32_t code, float value) {
  SendNotification(&s->target, code, FloatBits(value));
  return IsOurRecord(window, s);
}

static bool WantsEvents(const ImageButtonState* s) {
  return (s->target.flags & kNotifyBeginEnd) != 0;
}

static void BeginCapture(HWND window, ImageButtonState* s) {
  s->pressed = 1;
  s->previous_capture = SetCapture(window);
}

// Ends a press. A capture the button still holds is released and given
// back to whoever had it before; one taken away stays where it went.
static void EndCapture(HWND window, ImageButtonState* s) {
  s->pressed = 0;  // first: releasing the capture comes back as WM_CAPTURECHANGED
  HWND previous = s->previous_capture;
  s->previous_capture = nullptr;
  if (GetCapture() != window) return;
  ReleaseCapture();
  if (previous && IsWindow(previous)) SetCapture(previous);
}

static void Press(HWND window, ImageButtonState* s) {
  if (!s->enabled || s->pressed) return;
  const uint32_t id = s->id;
  switch (Mode(s)) {
    case kButtonPush:
      SetFocus(window);
      s->value = 1.0f;
      BeginCapture(window, s);
      if (WantsEvents(s) && !Notify(window, s, id | kNotifyBegin, 0.0f)) return;
      if (s->look.mode & kButtonAutoRepeat) {
        s->repeat_paused = 0;
        s->repeat_ticks = 0;
        s->repeat_timer = SetTimer(window, kRepeatTimerId, kRepeatPeriodMs, nullptr);
        if (!Notify(window, s, id, 1.0f)) return;
      }
      break;
    case kButtonToggle:
    case kButtonSelect:
      SetFocus(window);
      if (Mode(s) == kButtonSelect && s->value != 0.0f) return;
      s->value = s->value == 0.0f ? 1.0f : 0.0f;
      if (WantsEvents(s)) {
        BeginCapture(window, s);
        if (!Notify(window, s, id | kNotifyBegin, 0.0f)) return;
      }
      if (!Notify(window, s, id, s->value)) return;
      break;
    default: return;  // indicators and unknown modes do not react
  }
  InvalidateRect(window, nullptr, FALSE);
}

// Ends a press. `click`: a push released inside the button, which counts;
// one released outside, cancelled, disabled or robbed of the capture does not.
static void Release(HWND window, ImageButtonState* s, bool click) {
  if (!s->pressed) return;
  const uint32_t id = s->id;
  EndCapture(window, s);
  if (Mode(s) == kButtonPush) {
    if (s->repeat_timer) {
      s->repeat_paused = 1;
      KillTimer(window, s->repeat_timer);
      s->repeat_timer = 0;
    } else if (click && !(s->look.mode & kButtonAutoRepeat)) {
      if (!Notify(window, s, id, 1.0f)) return;
    }
    s->value = 0.0f;
  }
  if (WantsEvents(s) && !Notify(window, s, id | kNotifyEnd, 0.0f)) return;
  InvalidateRect(window, nullptr, FALSE);
}

static bool IsInside(HWND window, int x, int y) {
  RECT client;
  GetClientRect(window, &client);
  POINT p = {x, y};
  return PtInRect(&client, p) != 0;
}

// One auto-repeat tick: value notifications at ticks 8, 12, 16, 20, then
// every second tick up to 40, then every tick.
static bool RepeatTickNotifies(uint32_t n) {
  if (n <= 4) return false;
  if (n <= 20) return n % 4 == 0;
  if (n <= 40) return n % 2 == 0;
  return true;
}

static void OnPaint(HWND window, ImageButtonState* s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  const int w = s->look.width;
  const int h = s->look.height;
  HBITMAP face = s->value != 0.0f ? s->look.on_image : s->look.off_image;
  if (s->look.shape == 1 && s->round_mask) {
    DrawMasked(dc, 0, 0, w, h, face, s->round_mask);
  } else {
    DrawBitmap(dc, 0, 0, w, h, face, 0, 0, SRCCOPY);
  }
  if (!s->enabled) {
    if (s->look.disabled_image) {
      DrawBitmap(dc, 0, 0, w, h, s->look.disabled_image, 0, 0, SRCCOPY);
    } else {
      DrawDisabledCross(dc, 0, 0, w, h);
    }
  } else if (s->focused) {
    DrawFocusMark(dc, 0, 0);
  }
  EndPaint(window, &ps);
}

static LRESULT OnCommand(HWND window, ImageButtonState* s, UINT message, WPARAM wparam,
                         LPARAM lparam) {
  switch (wparam) {
    case kCtlEnable:
      if (!s->enabled) {
        s->enabled = 1;
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case kCtlDisable:
      if (s->enabled) {
        s->enabled = 0;
        Release(window, s, false);  // a held button lets go
        if (IsOurRecord(window, s)) InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case kCtlGetValue: return static_cast<LRESULT>(FloatBits(s->value));
    case kCtlSetValue: {
      const float value = FloatFromBits(static_cast<uint32_t>(lparam)) != 0.0f ? 1.0f : 0.0f;
      if (value != s->value) {
        s->value = value;
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    }
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const ImageButtonCreate*>(create->lpCreateParams);
  auto* s = NewRecord<ImageButtonState>(record);
  if (!s) return -1;
  s->parent = record->place.parent;
  s->x = record->place.x;
  s->y = record->place.y;
  s->id = record->place.id;
  s->look = record->look;
  s->target = record->target;
  s->enabled = 1;
  if (s->look.shape == 1) s->round_mask = GetRoundMask(window, s->look.width);
  AttachRecord(window, s);
  return 0;
}

static void OnDestroy(HWND window, ImageButtonState* s) {
  if (s->repeat_timer) KillTimer(window, s->repeat_timer);
  DetachRecord(window);
  if (GetCapture() == window) ReleaseCapture();
  std::free(s);
}

static void OnFocus(HWND window, ImageButtonState* s, bool focused) {
  if (s->look.mode == kButtonIndicator) return;
  s->focused = focused ? 1 : 0;
  InvalidateRect(window, nullptr, FALSE);
}

static void OnLeftButtonUp(HWND window, ImageButtonState* s, int x, int y) {
  if (s->enabled) SetFocus(window);
  Release(window, s, s->enabled && IsInside(window, x, y));
}

// Alt+Tab, a message box: the press is over.
static void OnCaptureChanged(HWND window, ImageButtonState* s, HWND new_owner) {
  if (new_owner != window) Release(window, s, false);
}

static void OnMouseMove(HWND window, ImageButtonState* s, int x, int y) {
  if (s->pressed && s->repeat_timer) s->repeat_paused = IsInside(window, x, y) ? 0 : 1;
}

// Enter and Space press and release the button like the mouse.
static void OnKeyDown(HWND window, ImageButtonState* s, WPARAM key) {
  if (key == VK_RETURN || key == VK_SPACE) Press(window, s);
}

static void OnKeyUp(HWND window, ImageButtonState* s, WPARAM key) {
  if (key == VK_RETURN || key == VK_SPACE) Release(window, s, s->enabled != 0);
}

static void OnRepeatTimer(HWND window, ImageButtonState* s) {
  if (!s->repeat_timer || s->repeat_paused) return;
  s->repeat_ticks += 1;
  if (RepeatTickNotifies(s->repeat_ticks - 1)) Notify(window, s, s->id, 1.0f);
}

LRESULT CALLBACK ImageButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ImageButtonState* s = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &s, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_DESTROY: OnDestroy(window, s); return 0;
    case WM_SETFOCUS: OnFocus(window, s, true); return 0;
    case WM_KILLFOCUS: OnFocus(window, s, false); return 0;
    case WM_PAINT: OnPaint(window, s); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_LBUTTONDOWN: Press(window, s); return 0;
    case WM_LBUTTONUP: OnLeftButtonUp(window, s, x, y); return 0;
    case WM_CANCELMODE: Release(window, s, false); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(window, s, reinterpret_cast<HWND>(lparam)); return 0;
    case WM_MOUSEMOVE: OnMouseMove(window, s, x, y); return 0;
    case WM_KEYDOWN: OnKeyDown(window, s, wparam); return 0;
    case WM_KEYUP: OnKeyUp(window, s, wparam); return 0;
    case WM_TIMER:
      if (wparam != kRepeatTimerId) break;
      OnRepeatTimer(window, s);
      return 0;
    case WM_COMMAND: return OnCommand(window, s, message, wparam, lparam);
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// ---------------------------------------------------------------------------
// Creation.

HWND CreateImageButton(HWND parent, int id, int x, int y, const ImageButtonLook* look,
                       const NotifyTarget* target) {
  ImageButtonCreate record = {PlaceControl(parent, id, x, y), *look, *target};
  if (record.look.width == 0) {
    GetBitmapSize(record.look.off_image, &record.look.width, &record.look.height);
  }
  return CreateControlWindow(kImageButtonClass, parent, id, x, y, record.look.width,
                             record.look.height, &record);
}

HWND CreateImageButtonEx(HWND parent, int id, int x, int y, uint32_t flags, HBITMAP off_image,
                         HBITMAP on_image, HBITMAP disabled_image, NotifyCallback callback,
                         void* user_data) {
  ImageButtonLook look;
  std::memset(&look, 0, sizeof look);
  look.off_image = off_image;
  look.on_image = on_image;
  look.disabled_image = disabled_image;
  look.mode = flags;
  NotifyTarget target;
  target.parent = parent;
  target.callback = callback;
  target.flags = (callback ? kNotifyByCallback : 0) | (flags & kNotifyBeginEnd);
  target.user_data = user_data;
  return CreateImageButton(parent, id, x, y, &look, &target);
}

HWND CreateStockToggle(HWND parent, int id, int x, int y, uint32_t flags) {
  ImageButtonLook look;
  std::memset(&look, 0, sizeof look);
  look.off_image = GetStockBitmap(0);
  look.on_image = GetStockBitmap(1);
  look.mode = kButtonToggle;
  if (flags & kButtonPush) look.mode = kButtonPush;
  if (flags & kButtonSelect) look.mode = kButtonSelect;
  NotifyTarget target = {parent, nullptr, flags & kNotifyBeginEnd, nullptr};
  return CreateImageButton(parent, id, x, y, &look, &target);
}

// ---------------------------------------------------------------------------
// Focus cycling.

int CycleFocus(HWND owner, WPARAM key) {
  if (key != VK_TAB) return 1;
  const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) || (GetKeyState(VK_LSHIFT) & 0x8000);
  HWND first = GetWindow(owner, GW_CHILD);
  if (!first) return 0;
  HWND focus = GetFocus();
  if (!focus || focus == owner || GetParent(focus) != owner) {
    // Nothing of ours has the focus: start at the first child.
    if (IsWindowEnabled(first)) {
      SetFocus(first);
      return 0;
    }
    focus = first;
  }
  HWND start = focus;
  HWND current = focus;
  for (int guard = 0; guard < 65536; ++guard) {
    HWND next = GetWindow(current, backwards ? GW_HWNDPREV : GW_HWNDNEXT);
    if (!next || next == owner) next = first;  // past either end
    if (next == start) break;
    if (IsWindowEnabled(next)) {
      SetFocus(next);
      return 0;
    }
    current = next;
    if (backwards && next == first) break;  // Shift+Tab stops at the first control
  }
  SetFocus(start);
  return 0;
}
