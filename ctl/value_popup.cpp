// The value pop-up: one small topmost box per process that shows the value of
// the knob or slider being dragged, placed at a corner of the control.
//
// It is created hidden at library start and destroyed at the end; the
// controls show it, update its text (painted at once through a window DC so
// it keeps up with the drag) and hide it. It never keeps the keyboard focus.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ctl/control_window.h"
#include "ctl/library_state.h"

struct ValuePopupState {
  HWND current_control;
  HWND window;
  char text[256];
  int32_t hidden;
  int32_t last_x, last_y;
};

static ValuePopupState* PopupState() {
  HWND window = g_ctl.popups[kSlotValuePopup];
  return RecordOf<ValuePopupState>(window);
}

static void PaintPopup(HDC dc, const ValuePopupState* s) {
  RECT client;
  GetClientRect(s->window, &client);
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteGrey230));
  HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(kPaletteGrey230));
  Rectangle(dc, client.left, client.top, client.right, client.bottom);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(kFont16Bold));
  TextOutA(dc, 3, 1, s->text, static_cast<int>(std::strlen(s->text)));
  SelectObject(dc, old_font);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

// Draws the present text at once, through a window DC, so the box keeps up
// with a drag without waiting for WM_PAINT.
static void RepaintNow(const ValuePopupState* s) {
  HDC dc = BorrowDc(s->window);
  if (!dc) return;
  PaintPopup(dc, s);
  ReturnDc(s->window, &dc);
}

static LRESULT OnCreate(HWND window) {
  auto* s = static_cast<ValuePopupState*>(std::calloc(1, sizeof(ValuePopupState)));
  if (!s) return -1;
  s->window = window;
  s->hidden = 1;
  s->last_x = -1;
  s->last_y = -1;
  AttachRecord(window, s);
  return 0;
}

static void OnDestroy(HWND window) {
  std::free(RecordOf<ValuePopupState>(window));
  DetachRecord(window);
  if (g_ctl.popups[kSlotValuePopup] == window) g_ctl.popups[kSlotValuePopup] = nullptr;
}

static void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (const ValuePopupState* s = RecordOf<ValuePopupState>(window)) PaintPopup(dc, s);
  EndPaint(window, &ps);
}

LRESULT CALLBACK ValuePopupProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

void CreateValuePopupWindow() {
  // A tool window: no taskbar button and no Alt+Tab entry for every drag.
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kValuePopupClass, "",
                                WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 80, 20, nullptr, nullptr,
                                g_ctl.instance, nullptr);
  if (!window) return;
  ShowWindow(window, SW_HIDE);
  g_ctl.popups[kSlotValuePopup] = window;
}

void ShowValuePopup(HWND reference, int x, int y, const char* text) {
  ValuePopupState* s = PopupState();
  if (!s) return;
  std::snprintf(s->text, sizeof s->text, "%s", text);
  SetWindowTextA(s->window, s->text);
  HWND focus = GetFocus();
  s->current_control = reference;
  POINT at = {x, y};
  ClientToScreen(reference, &at);
  if (at.x != s->last_x || at.y != s->last_y) {
    s->last_x = at.x;
    s->last_y = at.y;
    SetWindowPos(s->window, nullptr, at.x, at.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(s->window, SW_SHOWNOACTIVATE);
    UpdateWindow(s->window);
    s->hidden = 0;
  }
  if (s->hidden) {
    ShowWindow(s->window, SW_SHOWNOACTIVATE);
    UpdateWindow(s->window);
    s->hidden = 0;
  }
  SetWindowPos(s->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RepaintNow(s);  // an uncaptioned window is not redrawn by a new window text
  if (focus && GetFocus() != focus) SetFocus(focus);
}

void UpdateValuePopup(const char* text) {
  ValuePopupState* s = PopupState();
  if (!s || s->hidden) return;
  std::snprintf(s->text, sizeof s->text, "%s", text);
  SetWindowTextA(s->window, s->text);
  RepaintNow(s);
}

void HideValuePopup() {
  ValuePopupState* s = PopupState();
  if (!s) return;
  if (!s->hidden) {
    ShowWindow(s->window, SW_HIDE);
    s->hidden = 1;
  }
  s->current_control = nullptr;
}

POINT ValuePopupOrigin(int corner, int x, int y, int w, int h) {
  if (corner < 1) corner = 1;
  if (corner > 4) corner = 4;
  switch (corner) {
    case 1: return {x - 80, y - 20};
    case 2: return {x + w, y - 20};
    case 3: return {x + w, y + h};
    default: return {x - 80, y + h};
  }
}
