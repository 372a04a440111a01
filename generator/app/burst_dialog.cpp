// The "Tone burst" dialog: see burst_dialog.h.
//
// How it works. A modal dialog from an in-memory template without
// controls, as the options window is: it paints its two numbers on its skin
// (bitmap 551) and a click on one opens a quick edit box for it; three of
// the panel's image buttons switch the window and answer OK or Cancel; a
// click anywhere else drags the dialog. The answers are kept in the dialog's
// record until OK copies them into the caller's settings.
#include "generator/app/burst_dialog.h"

#include <cstdio>

#include "ctl/dialog_template.h"
#include "ctl/qx2ctl.h"
#include "generator/app/value_entry.h"

namespace {

constexpr int kBurstWidth = 150, kBurstHeight = 128;
// Where the skin has its read-out windows and button places (make_generator_skins.py).
constexpr RECT kCyclesOnBox = {90, 24, 131, 40};
constexpr RECT kCyclesOffBox = {90, 50, 131, 66};
constexpr POINT kHannButton = {16, 72};
constexpr POINT kOkButton = {16, 101};
constexpr POINT kCancelButton = {78, 101};
enum BurstControlId { kHannId = 1, kOkId = 2, kCancelId = 3 };

// A set that never held a burst starts from a burst a user can hear as one.
constexpr float kFirstCyclesOn = 10.0f, kFirstCyclesOff = 90.0f;

struct BurstDialog {
  ToneBurstLook look;
  float cycles_on, cycles_off;
  bool hann;
  HWND window;
  WindowDragState drag;
};

// `value` brought into low … high; NaN gives low.
float Within(double value, float low, float high) {
  if (!(value >= low)) return low;
  return static_cast<float>(value > high ? high : value);
}

void DrawNumber(HDC dc, float value, RECT box) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void OnBurstPaint(HWND dialog, BurstDialog* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(kPaletteBlack));
  HGDIOBJ old_font = SelectObject(dc, GetLibraryFont(kFont14));
  DrawNumber(dc, d->cycles_on, kCyclesOnBox);
  DrawNumber(dc, d->cycles_off, kCyclesOffBox);
  SelectObject(dc, old_font);
  EndPaint(dialog, &ps);
}

// A typed number for the cycles on (`on`) or off.
void TypeCycles(HWND dialog, BurstDialog* d, bool on) {
  const RECT& box = on ? kCyclesOnBox : kCyclesOffBox;
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(on ? d->cycles_on : d->cycles_off));
  double value = 0.0;
  if (!AskForValue(dialog, POINT{box.left, box.bottom + 2}, text, &value)) return;
  if (!IsWindow(dialog)) return;  // closed while the box was open
  if (on) {
    d->cycles_on = Within(value, kBurstMinOnCycles, kBurstMaxOnCycles);
  } else {
    d->cycles_off = Within(value, 0.0f, kBurstMaxOffCycles);
  }
  InvalidateRect(dialog, nullptr, TRUE);
}

// The buttons' notifications (user data: the dialog's record). OK and
// Cancel end the dialog, which destroys the button that notified.
int OnBurstButton(void* user_data, uint32_t code, uint32_t value_bits) {
  auto* d = static_cast<BurstDialog*>(user_data);
  switch (code & 0xFFFF) {
    case kHannId: d->hann = FloatFromBits(value_bits) != 0.0f; break;
    case kOkId: EndDialog(d->window, IDOK); break;
    case kCancelId: EndDialog(d->window, IDCANCEL); break;
    default: break;
  }
  return 0;
}

INT_PTR OnBurstInit(HWND dialog, BurstDialog* d) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
  d->window = dialog;
  SetWindowTextA(dialog, "Tone burst");
  int frame = 0, caption = 0, menu = 0;
  GetWindowMetrics(&frame, &caption, &menu);
  // Centred on the owner, whose panel it belongs to.
  RECT owner = {0, 0, 0, 0};
  GetWindowRect(GetWindow(dialog, GW_OWNER), &owner);
  const int width = kBurstWidth + 2 * frame, height = kBurstHeight + caption + 2 * frame;
  SetWindowPos(dialog, nullptr, (owner.left + owner.right - width) / 2,
               (owner.top + owner.bottom - height) / 2, width, height, SWP_NOZORDER);
  const struct {
    int id;
    POINT at;
    uint32_t mode;
  } buttons[] = {{kHannId, kHannButton, kButtonToggle},
                 {kOkId, kOkButton, kButtonPush},
                 {kCancelId, kCancelButton, kButtonPush}};
  for (const auto& b : buttons) {
    HWND button = CreateImageButtonEx(dialog, b.id, b.at.x, b.at.y, b.mode, d->look.button_off,
                                      d->look.button_on, nullptr, OnBurstButton, d);
    if (button && b.id == kHannId && d->hann) {
      SendMessageA(button, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
    }
  }
  InitWindowDrag(&d->drag, dialog);
  return TRUE;
}

INT_PTR OnBurstEraseBackground(HWND dialog, BurstDialog* d, HDC dc) {
  DrawBitmap(dc, 0, 0, kBurstWidth, kBurstHeight, d->look.skin, 0, 0, SRCCOPY);
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
  return TRUE;
}

void OnBurstButtonDown(HWND dialog, BurstDialog* d, POINT at) {
  if (PtInRect(&kCyclesOnBox, at)) {
    TypeCycles(dialog, d, true);
  } else if (PtInRect(&kCyclesOffBox, at)) {
    TypeCycles(dialog, d, false);
  } else {
    BeginWindowDrag(&d->drag, at.x, at.y);
  }
}

INT_PTR CALLBACK BurstProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return OnBurstInit(dialog, reinterpret_cast<BurstDialog*>(lparam));
  auto* d = reinterpret_cast<BurstDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!d) return FALSE;
  const POINT at = {static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
  switch (message) {
    case WM_ERASEBKGND: return OnBurstEraseBackground(dialog, d, reinterpret_cast<HDC>(wparam));
    case WM_PAINT: OnBurstPaint(dialog, d); return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a second click soon after the first is a click too
      OnBurstButtonDown(dialog, d, at);
      return TRUE;
    case WM_MOUSEMOVE: MoveWindowDrag(&d->drag, at.x, at.y); return TRUE;
    case WM_LBUTTONUP: EndWindowDrag(&d->drag, at.x, at.y); return TRUE;
    case WM_CAPTURECHANGED:  // Alt+Tab mid-drag: drop the outline
      OnWindowDragCaptureChanged(&d->drag, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_COMMAND:  // Enter and Esc, from the dialog manager
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

bool AskForToneBurst(HWND owner, const ToneBurstLook& look, GeneratorSettings* s) {
  BurstDialog d = {};
  d.look = look;
  const bool never_set = !(s->burst_on_cycles > 0.0f);  // NaN too
  d.cycles_on =
      never_set ? kFirstCyclesOn : Within(s->burst_on_cycles, kBurstMinOnCycles, kBurstMaxOnCycles);
  d.cycles_off =
      never_set ? kFirstCyclesOff : Within(s->burst_off_cycles, 0.0f, kBurstMaxOffCycles);
  d.hann = (s->waveform_options & kHannBurst) != 0;
  HGLOBAL memory = BuildDialogTemplate(
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, 0);
  if (!memory) return false;
  const INT_PTR answer = RunDialogTemplate(memory, owner, BurstProc, reinterpret_cast<LPARAM>(&d));
  GlobalFree(memory);
  if (answer != IDOK) return false;
  s->burst_on_cycles = d.cycles_on;
  s->burst_off_cycles = d.cycles_off;
  s->waveform_options =
      d.hann ? s->waveform_options | kHannBurst : s->waveform_options & ~kHannBurst;
  return true;
}
