// Shows a window with image buttons of every mode and the stock toggle, or
// the time-entry dialog, then saves what the (virtual) screen shows of it as
// a BMP:
//   ctl_showcase OUTPUT.bmp [time-dialog | precision | knobs | lists]
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "ctl/portable/musical_time.h"
#include "ctl/precision_adjust.h"
#include "ctl/qx2ctl.h"
#include "tests/wine/test_waits.h"

static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    HDC dc = reinterpret_cast<HDC>(wparam);
    HBITMAP tile = GetStockBitmap(12);  // the tiled dialog background
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, tile);
    for (int y = 0; y < r.bottom; y += 80) {
      for (int x = 0; x < r.right; x += 80) BitBlt(dc, x, y, 80, 80, memory, 0, 0, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    return 1;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

static bool SaveScreenRect(const RECT& r, const char* path) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, shot);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD row = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + row * static_cast<DWORD>(h);
  FILE* out = std::fopen(path, "wb");
  bool ok = false;
  if (out) {
    ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
         std::fwrite(bits, row * static_cast<DWORD>(h), 1, out) == 1;
    ok = std::fclose(out) == 0 && ok;
  }
  SelectObject(memory, old);
  DeleteObject(shot);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The time-entry dialog as a user leaves it after picking a few notes: it is
// photographed from a timer inside its modal loop, then closed.
static const char* g_shot_path;
static bool g_shot_saved;

static void CALLBACK PhotographTimeDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  static int ticks;
  HWND dialog = FindWindowExA(nullptr, nullptr, MAKEINTATOM(32770), nullptr);
  if (!dialog || ++ticks < 10) return;
  KillTimer(nullptr, timer);
  RECT r;
  GetWindowRect(dialog, &r);
  g_shot_saved = SaveScreenRect(r, g_shot_path);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
}

static int ShowTimeDialog(HWND host) {
  ControlPreferences* prefs = GetControlPreferences();
  TimeContext context = DefaultTimeContext();
  context.replace_mode = 0;
  context.notes[1] = 13;  // a quarter tied to a dotted eighth and a sixteenth
  context.notes[2] = 4;
  context.focus_id = kFieldHertz;
  EncodeTimeContext(&context, prefs->dial_tctx);
  SetTimer(nullptr, 0, 30, PhotographTimeDialog);
  OpenTimeDialog(host, kTextStyleValue, 60, 60, MusicalDuration(&context));
  return g_shot_saved ? 0 : 1;
}

// The precision-adjust window beside the control it adjusts.
static int ShowPrecisionWindow(HWND host, const char* path) {
  ImageButtonLook look = {};
  look.off_image = GetStockBitmap(7);
  look.on_image = GetStockBitmap(7);
  look.shape = 1;
  look.mode = kButtonIndicator;
  NotifyTarget target = {host, nullptr, 0, nullptr};
  HWND control = CreateImageButton(host, 1, 24, 30, &look, &target);
  ValueRange range = {0.0f, 1.0f, 0.35f, 0.01f, 3, 0, 0.35f, 0, 0, 0, 0};
  const PrecisionTarget precision = {control, 0, 105, &target, 1, &range};
  RECT h;
  GetWindowRect(host, &h);
  HWND window = OpenPrecisionAdjust(host, h.left + 90, h.top, &precision);
  PumpMessagesFor(200);
  RECT w, both;
  GetWindowRect(window, &w);
  UnionRect(&both, &h, &w);
  const bool saved = SaveScreenRect(both, path);
  DestroyWindow(window);
  return saved ? 0 : 1;
}

// Image buttons of every mode, the stock toggle, disabled and focused looks.
static void ShowButtons(HWND host) {
  const uint32_t modes[] = {kButtonPush, kButtonToggle, kButtonSelect, kButtonIndicator};
  for (int i = 0; i < 4; ++i) {
    // Each mode twice: off, and on (set by command).
    for (int on = 0; on < 2; ++on) {
      HWND b = CreateImageButtonEx(host, 1 + 2 * i + on, 12 + 78 * i + 38 * on, 12, modes[i],
                                   GetStockBitmap(2), GetStockBitmap(3), nullptr, nullptr, nullptr);
      SendMessageA(b, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(on ? 1.0f : 0.0f)));
    }
  }
  HWND lamp_off = CreateImageButtonEx(host, 20, 12, 50, kButtonIndicator, GetStockBitmap(4),
                                      GetStockBitmap(5), nullptr, nullptr, nullptr);
  HWND lamp_on = CreateImageButtonEx(host, 21, 36, 50, kButtonIndicator, GetStockBitmap(4),
                                     GetStockBitmap(5), nullptr, nullptr, nullptr);
  SendMessageA(lamp_on, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
  (void)lamp_off;
  HWND toggle_off = CreateStockToggle(host, 30, 70, 50, 0);
  HWND toggle_on = CreateStockToggle(host, 31, 100, 50, 0);
  SendMessageA(toggle_on, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(1.0f)));
  HWND disabled = CreateStockToggle(host, 32, 130, 50, 0);
  SendMessageA(disabled, WM_COMMAND, kCtlDisable, 0);
  HWND big_disabled = CreateImageButtonEx(host, 33, 170, 50, kButtonToggle, GetStockBitmap(2),
                                          GetStockBitmap(3), nullptr, nullptr, nullptr);
  SendMessageA(big_disabled, WM_COMMAND, kCtlDisable, 0);
  ImageButtonLook knob = {};
  knob.off_image = GetStockBitmap(7);
  knob.on_image = GetStockBitmap(7);
  knob.shape = 1;
  knob.mode = kButtonIndicator;
  NotifyTarget target = {host, nullptr, 0, nullptr};
  CreateImageButton(host, 34, 220, 45, &knob, &target);
  SetFocus(toggle_off);  // shows the focus mark
}

// Knobs of the panel's kinds at several values, focused, disabled, with an
// outer tick and with the move arc (value raised and lowered).
static void ShowKnobs(HWND host) {
  SetWindowPos(host, nullptr, 0, 0, 330, 60, SWP_NOMOVE | SWP_NOZORDER);
  GetControlPreferences()->rot_move = 1;
  HBITMAP image = GetStockBitmap(7);
  const struct {
    uint32_t style;
    float value;  // set by the owner after creation, so the arc shows the move
    bool disable;
  } knobs[] = {
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.0f, false},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.25f, false},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.5f, false},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 1.0f, false},
      {kStyleOuterTick | kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.75f, false},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.5f, true},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.9f, false},
      {kNotifyWhileMoving | kStyleEditTime | StyleColors(0, 10), 0.2f, false}};
  HWND focused = nullptr;
  for (int i = 0; i < 8; ++i) {
    const float initial = i == 7 ? 0.8f : i == 6 ? 0.8f : 0.0f;
    HWND knob = CreateKnobEx(host, 40 + i, 10 + 40 * i, 14, knobs[i].style, image, 16, 16, 225, 315,
                             0.0f, 1.0f, initial, 0.01f, nullptr, nullptr);
    SendMessageA(knob, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(knobs[i].value)));
    if (knobs[i].disable) SendMessageA(knob, WM_COMMAND, kCtlDisable, 0);
    if (i == 2) focused = knob;
  }
  SetFocus(focused);
}

// The list controls, drawn by this owner: a stacked-panel list, a line
// list with a selection, a value grid of four item types.
static void FillText(HDC dc, const RECT& r, int fill, int ink, int font, const char* text) {
  FillRect(dc, &r, GetLibraryBrush(fill));
  HGDIOBJ old = SelectObject(dc, GetLibraryFont(font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetLibraryColor(ink));
  RECT inside = r;
  inside.left += 3;
  DrawTextA(dc, text, -1, &inside, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  SelectObject(dc, old);
}

static int DrawStackedItem(void*, int event, StackedListItem* item) {
  if (event != 1) return 0;
  char text[32];
  if (item->panel == 0) {
    std::snprintf(text, sizeof text, "%d", item->line);
    FillText(item->dc, item->rect, 12, 15, 2, text);
  } else if (item->line == 0) {
    std::snprintf(text, sizeof text, "Panel %d", item->panel);
    FillText(item->dc, item->rect, item->slot == 3 ? 4 : 5, 15, 3, text);
  } else {
    std::snprintf(text, sizeof text, "p%d line %d", item->panel, item->line);
    const bool selected = item->line == item->selected_line;
    FillText(item->dc, item->rect, selected ? 3 : item->line % 2 ? 15 : 14, 0, 2, text);
  }
  FrameRect(item->dc, &item->rect, GetLibraryBrush(9));
  return 0;
}

static int DrawLine(void*, int event, LineListItem* item) {
  if (event != 1) return 0;
  RECT r;
  GetClientRect(item->window, &r);
  r.top = item->top;
  r.bottom = item->top + 16;
  char text[32];
  std::snprintf(text, sizeof text, "Item %d", item->line);
  FillText(item->dc, r, item->selected ? 5 : 15, item->selected ? 15 : 0, 4, text);
  return 0;
}

static int DrawGrid(GridContext* c, int event) {
  if (event == 2) {
    FillRect(c->dc, &c->rect, GetLibraryBrush(13));
  } else if (event == 3) {
    char text[32];
    if (c->tag == 3) {
      std::snprintf(text, sizeof text, "%s", *c->value != 0.0f ? "ON" : "off");
      FillText(c->dc, c->rect, *c->value != 0.0f ? 8 : 11, 15, 3, text);
    } else {
      std::snprintf(text, sizeof text, c->tag == 2 ? "%.3f s" : "%.2f", *c->value);
      FillText(c->dc, c->rect, 0, c->tag == 4 ? 3 : 8, 4, text);
    }
    FrameRect(c->dc, &c->rect, GetLibraryBrush(15));
  }
  return 1;
}

static void ShowLists(HWND host) {
  SetWindowPos(host, nullptr, 0, 0, 660, 170, SWP_NOMOVE | SWP_NOZORDER);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  StackedListCreate stacked = {};
  stacked.parent = host;
  stacked.width = 300;
  stacked.height = 150;
  stacked.id = 1;
  stacked.line_count = 40;
  stacked.left_margin = 24;
  stacked.header_height = 18;
  stacked.panel_width = 120;
  stacked.line_height = 16;
  stacked.panel_count = 4;
  stacked.panel_step = 12;
  stacked.callback = DrawStackedItem;
  HWND list3d = CreateWindowExA(0, kStackedListClass, nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 300,
                                150, host, reinterpret_cast<HMENU>(1), instance, &stacked);
  SendMessageA(list3d, WM_COMMAND, kStackedSelectLine, static_cast<LPARAM>(FloatBits(3.0f)));
  SendMessageA(list3d, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 14));  // panel 3 to the front
  SendMessageA(list3d, WM_LBUTTONUP, 0, MAKELPARAM(100, 14));
  LineListCreate lines = {};
  lines.parent = host;
  lines.id = 2;
  lines.style = kLineListExtendedSelection;
  lines.line_count = 30;
  lines.line_height = 16;
  lines.callback = DrawLine;
  HWND list2d = CreateWindowExA(0, kLineListClass, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL, 320,
                                10, 110, 150, host, reinterpret_cast<HMENU>(2), instance, &lines);
  SendMessageA(list2d, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 40));
  SendMessageA(list2d, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 72));
  ValueGridCreate grid_record = {};
  grid_record.parent = host;
  grid_record.id = 3;
  grid_record.callback = DrawGrid;
  grid_record.virtual_width = 400;
  grid_record.virtual_height = 300;
  HWND grid =
      CreateWindowExA(0, kValueGridClass, nullptr, WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL,
                      440, 10, 210, 150, host, reinterpret_cast<HMENU>(3), instance, &grid_record);
  const GridItem items[] = {
      {1, 1, 10, 10, 90, 34, 0.75f, 0, 1, 0.01f, 0.001f, 1, nullptr},
      {2, 2, 100, 10, 180, 34, 1.25f, 0, 10, 0.01f, 0.001f, 2, nullptr},
      {3, 3, 10, 44, 90, 68, 1.0f, 0, 1, 0, 0, 3, nullptr},
      {4, 4, 100, 44, 180, 68, 440.0f, 20, 20000, 1.01f, 1.001f, 4, nullptr},
      {5, 1, 10, 78, 90, 102, 0.5f, 0, 1, 0.01f, 0.001f, 1, nullptr},
  };
  AppendGridItems(grid, items, 5);
  SendMessageA(grid, WM_RBUTTONDOWN, MK_CONTROL, MAKELPARAM(150, 120));  // zoom in to 110 %
  SetFocus(list3d);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ctl_showcase OUTPUT.bmp [time-dialog]\n");
    return 2;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!InitControlLibrary(instance, "CtlShowcase")) return 1;
  if (argc > 2 && std::strcmp(argv[2], "time-dialog") == 0) {
    g_shot_path = argv[1];
    const int status = ShowTimeDialog(nullptr);
    EndControlLibrary();
    return status;
  }
  const bool precision = argc > 2 && std::strcmp(argv[2], "precision") == 0;
  const bool knobs = argc > 2 && std::strcmp(argv[2], "knobs") == 0;
  const bool lists = argc > 2 && std::strcmp(argv[2], "lists") == 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = instance;
  wc.lpszClassName = "CtlShowcase";
  RegisterClassA(&wc);
  HWND host = CreateWindowExA(0, "CtlShowcase", "", WS_POPUP | WS_VISIBLE, 40, 40, 330, 120,
                              nullptr, nullptr, instance, nullptr);
  if (precision) {
    SetWindowPos(host, nullptr, 0, 0, 80, 100, SWP_NOMOVE | SWP_NOZORDER);
    const int status = ShowPrecisionWindow(host, argv[1]);
    DestroyWindow(host);
    EndControlLibrary();
    return status;
  }
  if (lists) {
    ShowLists(host);
  } else if (knobs) {
    ShowKnobs(host);
  } else {
    ShowButtons(host);
  }

  PumpMessagesFor(200);
  RECT r;
  GetWindowRect(host, &r);
  const bool saved = SaveScreenRect(r, argv[1]);
  DestroyWindow(host);
  EndControlLibrary();
  return saved ? 0 : 1;
}
