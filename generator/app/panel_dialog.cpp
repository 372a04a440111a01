// The panel's small dialogs: see panel_dialog.h.
//
// How it works. A modal dialog from an in-memory template without
// controls, as the options window is: it paints its numbers on its skin,
// and a click on one opens a quick edit box for it; the panel's image
// buttons switch its switches and answer OK or Cancel. The dialog works on
// a copy of the description, which OK copies back.
#include "generator/app/panel_dialog.h"

#include <cmath>
#include <cstdio>

#include "ctl/dialog_template.h"
#include "ctl/qx2ctl.h"
#include "generator/app/value_entry.h"

namespace {

// Control ids: the switches from 1, then OK and Cancel.
constexpr int kFirstSwitchId = 1;
constexpr int kOkId = kFirstSwitchId + kMaxDialogSwitches;
constexpr int kCancelId = kOkId + 1;

struct Running {
  PanelDialog dialog;  // the working copy
  HWND window;
  WindowDragState drag;
};

// The value as the glass shows it and the quick edit box starts with.
void NumberText(const PanelDialogNumber& n, char* out, size_t size) {
  if (n.format) {
    n.format(n.value, out, size);
  } else {
    std::snprintf(out, size, n.whole ? "%.0f" : "%g", n.value);
  }
}

void OnPaint(HWND window, Running* r) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  for (int i = 0; i < r->dialog.number_count; ++i) {
    const PanelDialogNumber& n = r->dialog.numbers[i];
    char text[48];
    NumberText(n, text, sizeof text);
    DrawReadoutText(dc, n.box, text, GetLibraryColor(kPaletteBlack));
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(kPaletteBlack));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(kFont14));
  if (r->dialog.describe) r->dialog.describe(&r->dialog, dc, r->dialog.user);
  SelectObject(dc, old_font);
  EndPaint(window, &ps);
}

// A typed value for number `i`.
void TypeNumber(HWND window, Running* r, int i) {
  PanelDialogNumber* n = &r->dialog.numbers[i];
  char text[48];
  NumberText(*n, text, sizeof text);
  const POINT under = {n->box.left, n->box.bottom + 2};
  double value = 0.0;
  if (n->parse) {
    char typed[256];
    if (!AskForText(window, under, text, typed, sizeof typed)) return;
    if (!IsWindow(window) || !n->parse(window, typed, &value)) return;
    n->value = value;
    InvalidateRect(window, nullptr, TRUE);
    return;
  }
  if (!AskForValue(window, under, text, &value)) return;
  if (!IsWindow(window)) return;  // closed while the box was open
  if (n->whole) value = std::round(value);
  n->value = value < n->minimum ? n->minimum : value > n->maximum ? n->maximum : value;
  InvalidateRect(window, nullptr, TRUE);
}

// Every switch's button as the description has it (never notifies).
void ShowSwitches(Running* r) {
  for (int i = 0; i < r->dialog.switch_count; ++i) {
    HWND button = GetDlgItem(r->window, kFirstSwitchId + i);
    const float on = r->dialog.switches[i].on ? 1.0f : 0.0f;
    if (button) SendMessageA(button, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(on)));
  }
}

// The buttons' notifications (user data: the running dialog). OK and Cancel
// end the dialog, which destroys the button that notified.
int OnButton(void* user_data, uint32_t code, uint32_t value_bits) {
  auto* r = static_cast<Running*>(user_data);
  const int id = static_cast<int>(code & 0xFFFF);
  if (id >= kFirstSwitchId && id < kFirstSwitchId + r->dialog.switch_count) {
    r->dialog.switches[id - kFirstSwitchId].on = FloatFromBits(value_bits) != 0.0f;
    if (r->dialog.on_switch) {
      r->dialog.on_switch(&r->dialog, id - kFirstSwitchId, r->dialog.user);
      ShowSwitches(r);
    }
    InvalidateRect(r->window, nullptr, TRUE);  // what the dialog says may follow it
  } else if (id == kOkId) {
    EndDialog(r->window, IDOK);
  } else if (id == kCancelId) {
    EndDialog(r->window, IDCANCEL);
  }
  return 0;
}

INT_PTR OnInit(HWND window, Running* r) {
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(r));
  r->window = window;
  SetWindowTextA(window, r->dialog.caption);
  int frame = 0, caption = 0, menu = 0;
  GetWindowMetrics(&frame, &caption, &menu);
  // Centred on the owner, whose panel it belongs to.
  RECT owner = {0, 0, 0, 0};
  GetWindowRect(GetWindow(window, GW_OWNER), &owner);
  const int width = r->dialog.width + 2 * frame, height = r->dialog.height + caption + 2 * frame;
  SetWindowPos(window, nullptr, (owner.left + owner.right - width) / 2,
               (owner.top + owner.bottom - height) / 2, width, height, SWP_NOZORDER);
  const PanelDialog& d = r->dialog;
  for (int i = 0; i < d.switch_count; ++i) {
    HWND button =
        CreateImageButtonEx(window, kFirstSwitchId + i, d.switches[i].at.x, d.switches[i].at.y,
                            kButtonToggle, d.button_off, d.button_on, nullptr, OnButton, r);
    if (button && d.switches[i].on) {
      SendMessageA(button, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
    }
  }
  CreateImageButtonEx(window, kOkId, d.ok.x, d.ok.y, kButtonPush, d.button_off, d.button_on,
                      nullptr, OnButton, r);
  CreateImageButtonEx(window, kCancelId, d.cancel.x, d.cancel.y, kButtonPush, d.button_off,
                      d.button_on, nullptr, OnButton, r);
  InitWindowDrag(&r->drag, window);
  return TRUE;
}

INT_PTR OnEraseBackground(HWND window, Running* r, HDC dc) {
  DrawBitmap(dc, 0, 0, r->dialog.width, r->dialog.height, r->dialog.skin, 0, 0, SRCCOPY);
  SetWindowLongPtrA(window, DWLP_MSGRESULT, 1);
  return TRUE;
}

void OnButtonDown(HWND window, Running* r, POINT at) {
  for (int i = 0; i < r->dialog.number_count; ++i) {
    if (PtInRect(&r->dialog.numbers[i].box, at)) {
      TypeNumber(window, r, i);
      return;
    }
  }
  BeginWindowDrag(&r->drag, at.x, at.y);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return OnInit(window, reinterpret_cast<Running*>(lparam));
  auto* r = reinterpret_cast<Running*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!r) return FALSE;
  const POINT at = {static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
  switch (message) {
    case WM_ERASEBKGND: return OnEraseBackground(window, r, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: OnPaint(window, r); return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a second click soon after the first is a click too
      OnButtonDown(window, r, at);
      return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&r->drag, at.x, at.y); return TRUE;
    case WM_LBUTTONUP: EndWindowDrag(&r->drag, at.x, at.y); return TRUE;
    case WM_CAPTURECHANGED:  // Alt+Tab mid-drag: drop the outline
      OnWindowDragCaptureChanged(&r->drag, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_COMMAND:  // Enter and Esc, from the dialog manager
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(window, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

PanelDialog PanelDialogOn(const char* caption, HBITMAP skin, int width, int height,
                          HBITMAP button_on, HBITMAP button_off, POINT ok, POINT cancel) {
  PanelDialog d = {};
  d.caption = caption;
  d.skin = skin;
  d.width = width;
  d.height = height;
  d.button_on = button_on;
  d.button_off = button_off;
  d.ok = ok;
  d.cancel = cancel;
  return d;
}

bool RunPanelDialog(HWND owner, PanelDialog* dialog) {
  Running r = {};
  r.dialog = *dialog;
  HGLOBAL memory = BuildDialogTemplate(
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, 0);
  if (!memory) return false;
  const INT_PTR answer = RunDialogTemplate(memory, owner, DialogProc, reinterpret_cast<LPARAM>(&r));
  GlobalFree(memory);
  if (answer != IDOK) return false;
  *dialog = r.dialog;
  return true;
}
