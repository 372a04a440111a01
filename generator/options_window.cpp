// The panel's small "Options" window: the gate's sound and pause times.
//
// How it works. A modeless dialog from an in-memory template without
// controls, owned by the main window: it paints the two times on its skin
// (bitmap 550), a click on one of them opens a quick edit box for it, and a
// click anywhere else drags the window. The panel record keeps the window
// (while open) and the template memory, which the window frees when it goes.
#include <cstdio>

#include "ctl/dialog_template.h"
#include "generator/panel.h"

constexpr int kOptionsWidth = 123, kOptionsHeight = 78;
static const RECT kGateOnBox = {67, 24, 108, 40};
static const RECT kGateOffBox = {67, 52, 108, 68};

static void DrawTime(HDC dc, float seconds, RECT box) {
  char text[32];
  std::snprintf(text, sizeof text, "%0.2f", seconds);
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

static void OnOptionsPaint(HWND dialog, GeneratorPanel* p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  const GeneratorSettings s = PendingSettings(p);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(0));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(4));
  DrawTime(dc, s.gate_on_s, kGateOnBox);
  DrawTime(dc, s.gate_off_s, kGateOffBox);
  SelectObject(dc, old_font);
  EndPaint(dialog, &ps);
}

// A typed gate time for the sound (`on_time`) or the pause.
static void TypeGateTime(HWND dialog, GeneratorPanel* p, bool on_time) {
  const RECT& box = on_time ? kGateOnBox : kGateOffBox;
  char text[32];
  const GeneratorSettings shown = PendingSettings(p);
  std::snprintf(text, sizeof text, "%0.2f", on_time ? shown.gate_on_s : shown.gate_off_s);
  double value = 0.0;
  if (!AskForValue(dialog, POINT{box.left, box.bottom + 2}, text, &value)) return;
  if (!(value >= kGateTimeMinimum && value <= kGateTimeMaximum)) return;
  GeneratorSettings s = PendingSettings(p);
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
  SetWindowPos(dialog, nullptr, 0, 0, kOptionsWidth + 2 * frame,
               kOptionsHeight + caption + 2 * frame, SWP_NOMOVE | SWP_NOZORDER);
  InitWindowDrag(&p->options_drag, dialog);
  InvalidateRect(dialog, nullptr, TRUE);
  return TRUE;
}

static INT_PTR OnOptionsEraseBackground(HWND dialog, GeneratorPanel* p, HDC dc) {
  DrawBitmap(dc, 0, 0, kOptionsWidth, kOptionsHeight, p->images.options, 0, 0, SRCCOPY);
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
  return TRUE;
}

static void OnOptionsButtonDown(HWND dialog, GeneratorPanel* p, POINT at) {
  if (PtInRect(&kGateOnBox, at)) {
    TypeGateTime(dialog, p, true);
  } else if (PtInRect(&kGateOffBox, at)) {
    TypeGateTime(dialog, p, false);
  } else {
    BeginWindowDrag(&p->options_drag, at.x, at.y);
  }
}

static void OnOptionsDestroy(HWND dialog, GeneratorPanel* p) {
  p->options = nullptr;
  if (p->options_template) GlobalFree(p->options_template);
  p->options_template = nullptr;
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
}

static INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    return OnOptionsInit(dialog, reinterpret_cast<GeneratorPanel*>(lparam));
  }
  auto* p = reinterpret_cast<GeneratorPanel*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!p) return FALSE;
  const POINT at = {static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
  switch (message) {
    case WM_ERASEBKGND: return OnOptionsEraseBackground(dialog, p, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: OnOptionsPaint(dialog, p); return TRUE;
    case WM_LBUTTONDOWN: OnOptionsButtonDown(dialog, p, at); return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&p->options_drag, at.x, at.y); return TRUE;
    case WM_LBUTTONUP: EndWindowDrag(&p->options_drag, at.x, at.y); return TRUE;
    case WM_CAPTURECHANGED:  // Alt+Tab mid-drag: drop the outline
      OnWindowDragCaptureChanged(&p->options_drag, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_KEYDOWN: CycleFocus(dialog, wparam); return TRUE;
    case WM_CLOSE: DestroyWindow(dialog); return TRUE;
    case WM_DESTROY: OnOptionsDestroy(dialog, p); return TRUE;
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
