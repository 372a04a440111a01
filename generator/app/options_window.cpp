// The panel's small "Options" window: the gate's sound and pause times.
//
// How it works. A modeless dialog from an in-memory template without
// controls, owned by the main window: it paints the two times on its skin
// (bitmap 550), a click on one of them opens a quick edit box for it, and a
// click anywhere else drags the window. Its record (OptionsWindow, kept by
// the panel) holds the window while it is open and the template memory,
// which the window frees when it goes.
#include "generator/app/options_window.h"

#include <cstdio>

#include "ctl/dialog_template.h"
#include "generator/app/value_entry.h"
#include "generator/panel/panel_parameters.h"

constexpr int kOptionsWidth = 123, kOptionsHeight = 78;
static const RECT kGateOnBox = {67, 24, 108, 40};
static const RECT kGateOffBox = {67, 52, 108, 68};

static void DrawTime(HDC dc, float seconds, RECT box) {
  char text[32];
  std::snprintf(text, sizeof text, "%0.2f", seconds);
  DrawReadoutText(dc, box, text, GetLibraryColor(kPaletteBlack));
}

static GeneratorSettings Pending(const OptionsWindow* o) {
  GeneratorSettings s;
  GetGeneratorSettings(o->engine, &s);
  return s;
}

static void OnOptionsPaint(HWND dialog, OptionsWindow* o) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  const GeneratorSettings s = Pending(o);
  DrawTime(dc, s.gate_on_s, kGateOnBox);
  DrawTime(dc, s.gate_off_s, kGateOffBox);
  EndPaint(dialog, &ps);
}

// A typed gate time for the sound (`on_time`) or the pause.
static void TypeGateTime(HWND dialog, OptionsWindow* o, bool on_time) {
  const RECT& box = on_time ? kGateOnBox : kGateOffBox;
  char text[32];
  const GeneratorSettings shown = Pending(o);
  std::snprintf(text, sizeof text, "%0.2f", on_time ? shown.gate_on_s : shown.gate_off_s);
  double value = 0.0;
  if (!AskForValue(dialog, POINT{box.left, box.bottom + 2}, text, &value)) return;
  if (!(value >= kGateTimeMinimum && value <= kGateTimeMaximum)) return;
  GeneratorSettings s = Pending(o);
  (on_time ? s.gate_on_s : s.gate_off_s) = static_cast<float>(value);
  SetGeneratorSettings(o->engine, &s);
  if (IsWindow(dialog)) InvalidateRect(dialog, nullptr, TRUE);
}

static INT_PTR OnOptionsInit(HWND dialog, OptionsWindow* o) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(o));
  o->window = dialog;
  SetWindowTextA(dialog, "Options");
  int frame = 0, caption = 0, menu = 0;
  GetWindowMetrics(&frame, &caption, &menu);
  SetWindowPos(dialog, nullptr, 0, 0, kOptionsWidth + 2 * frame,
               kOptionsHeight + caption + 2 * frame, SWP_NOMOVE | SWP_NOZORDER);
  InitWindowDrag(&o->drag, dialog);
  InvalidateRect(dialog, nullptr, TRUE);
  return TRUE;
}

static INT_PTR OnOptionsEraseBackground(HWND dialog, OptionsWindow* o, HDC dc) {
  DrawBitmap(dc, 0, 0, kOptionsWidth, kOptionsHeight, o->skin, 0, 0, SRCCOPY);
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
  return TRUE;
}

static void OnOptionsButtonDown(HWND dialog, OptionsWindow* o, POINT at) {
  if (PtInRect(&kGateOnBox, at)) {
    TypeGateTime(dialog, o, true);
  } else if (PtInRect(&kGateOffBox, at)) {
    TypeGateTime(dialog, o, false);
  } else {
    BeginWindowDrag(&o->drag, at.x, at.y);
  }
}

static void OnOptionsDestroy(HWND dialog, OptionsWindow* o) {
  o->window = nullptr;
  if (o->template_memory) GlobalFree(o->template_memory);
  o->template_memory = nullptr;
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
}

static INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    return OnOptionsInit(dialog, reinterpret_cast<OptionsWindow*>(lparam));
  }
  auto* o = reinterpret_cast<OptionsWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!o) return FALSE;
  const POINT at = {static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
  switch (message) {
    case WM_ERASEBKGND: return OnOptionsEraseBackground(dialog, o, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: OnOptionsPaint(dialog, o); return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a second click soon after the first is a click too
      OnOptionsButtonDown(dialog, o, at);
      return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&o->drag, at.x, at.y); return TRUE;
    case WM_LBUTTONUP: EndWindowDrag(&o->drag, at.x, at.y); return TRUE;
    case WM_CAPTURECHANGED:  // Alt+Tab mid-drag: drop the outline
      OnWindowDragCaptureChanged(&o->drag, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_KEYDOWN: CycleFocus(dialog, wparam); return TRUE;
    case WM_CLOSE: DestroyWindow(dialog); return TRUE;
    case WM_DESTROY: OnOptionsDestroy(dialog, o); return TRUE;
    default: return FALSE;
  }
}

void OpenOptionsWindow(OptionsWindow* o, HWND parent) {
  if (o->window) {
    SetWindowPos(o->window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    return;
  }
  o->template_memory = BuildDialogTemplate(
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, 0);
  if (!o->template_memory) return;
  if (!CreateDialogFromTemplate(o->template_memory, parent, OptionsProc,
                                reinterpret_cast<LPARAM>(o))) {
    GlobalFree(o->template_memory);
    o->template_memory = nullptr;
  }
}

void RefreshOptionsWindow(const OptionsWindow* o) {
  if (o->window) InvalidateRect(o->window, nullptr, TRUE);
}

void CloseOptionsWindow(OptionsWindow* o) {
  if (o->window) DestroyWindow(o->window);
}
