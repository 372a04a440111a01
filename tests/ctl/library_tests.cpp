// The control library under Wine: real windows, real messages, real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ctl/library_state.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

uint32_t U32(const std::vector<uint8_t>& b) {
  return b.size() == 4 ? b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24 : 0xDEADBEEF;
}

bool ClassRegistered(const char* name) {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(nullptr), name, &wc) != 0;
}

const char* const kAllClasses[] = {kKnobClass,  kImageButtonClass, kFreePanelClass,
                                   kFreePanelNoDoubleClickClass, kSliderClass, kStackedListClass,
                                   kValueGridClass, kLineListClass, kValuePopupClass};

TEST(ControlLibrary, StartsCountEndsReleaseAndWritePreferences) {
  const std::string app = "CtlCount";
  DeleteKey(app);
  EXPECT_EQ(GetControlLibraryError(), kCtlNotInitialized);
  ASSERT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), app.c_str()), 1);
  ASSERT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), "ignored"), 1);
  EXPECT_EQ(GetControlLibraryError(), kCtlNoError);
  for (const char* name : kAllClasses) {
    EXPECT_TRUE(ClassRegistered(name)) << name;
    EXPECT_EQ(std::string(name).substr(std::strlen(name) - 7), "Zorvath");
  }
  const int objects = ControlLibraryGdiObjects();
  EXPECT_EQ(objects, 19 + 16 + 16 + 1 + 2 + 16);  // bitmaps, brushes, pens, dash-dot, checker, fonts
  for (int i = 0; i < kStockBitmapCount; ++i) {
    int w, h;
    GetBitmapSize(GetStockBitmap(i), &w, &h);
    EXPECT_GT(w, 0) << i;
  }
  int w, h;
  GetBitmapSize(GetStockBitmap(6), &w, &h);
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 96);
  EXPECT_EQ(GetLibraryColor(14), RGB(230, 230, 230));
  EXPECT_NE(GetPopupSlot(kSlotValuePopup), nullptr);

  EndControlLibrary();  // one of two: nothing released
  EXPECT_TRUE(ClassRegistered(kImageButtonClass));
  EXPECT_EQ(ControlLibraryGdiObjects(), objects);
  std::vector<uint8_t> value;
  EXPECT_FALSE(ReadBinary(app, "Rot_Mode", &value));  // not written yet

  EndControlLibrary();
  for (const char* name : kAllClasses) EXPECT_FALSE(ClassRegistered(name)) << name;
  EXPECT_EQ(ControlLibraryGdiObjects(), 0);
  EXPECT_EQ(GetControlPreferences(), nullptr);
  const struct {
    const char* name;
    uint32_t expected;
  } words[] = {{"Rot_Mode", 1},    {"infovalue", 0x80000003u}, {"KeyboardType", 0},
               {"Rot_Latency", 0}, {"Rot_Move", 0},            {"S_capture", 1},
               {"S_settopos", 0},  {"A_imode", 0}};
  for (const auto& word : words) {
    ASSERT_TRUE(ReadBinary(app, word.name, &value)) << word.name;
    EXPECT_EQ(U32(value), word.expected) << word.name;
  }
  ASSERT_TRUE(ReadBinary(app, "Dial_tCtx", &value));
  EXPECT_EQ(value.size(), 44u);
  EXPECT_EQ(value[0], 2);
  EndControlLibrary();  // a further end does nothing
  DeleteKey(app);
}

TEST(ControlLibrary, StoredPreferencesByTheirRules) {
  const std::string app(127, 'P');  // a name of 127 characters is kept whole
  DeleteKey(app);
  const uint32_t latency = 501, capture = 7, keyboard = 0x12345678, move = 5;
  const DWORD mode_as_dword = 2;
  const uint16_t short_info = 1;
  uint8_t context[44];
  for (int i = 0; i < 44; ++i) context[i] = static_cast<uint8_t>(200 - i);
  WriteValue(app, "Rot_Latency", REG_BINARY, &latency, 4);
  WriteValue(app, "S_capture", REG_BINARY, &capture, 4);
  WriteValue(app, "KeyboardType", REG_BINARY, &keyboard, 4);
  WriteValue(app, "Rot_Move", REG_BINARY, &move, 4);
  WriteValue(app, "Rot_Mode", REG_DWORD, &mode_as_dword, 4);  // wrong type
  WriteValue(app, "infovalue", REG_BINARY, &short_info, 2);   // wrong size
  WriteValue(app, "Dial_tCtx", REG_BINARY, context, 44);

  ASSERT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), app.c_str()), 1);
  const ControlPreferences* p = GetControlPreferences();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->rot_latency, 0u);
  EXPECT_EQ(p->s_capture, 1u);
  EXPECT_EQ(p->keyboard_type, keyboard);
  EXPECT_EQ(p->rot_move, 1u);
  EXPECT_EQ(p->rot_mode, 1u);
  EXPECT_EQ(p->infovalue, 0x80000003u);
  EXPECT_EQ(std::memcmp(p->dial_tctx, context, 44), 0);
  EndControlLibrary();

  std::vector<uint8_t> value;
  ASSERT_TRUE(ReadBinary(app, "KeyboardType", &value));
  EXPECT_EQ(U32(value), keyboard);  // survives unchanged
  ASSERT_TRUE(ReadBinary(app, "Rot_Mode", &value));
  EXPECT_EQ(U32(value), 1u);  // rewritten as binary
  ASSERT_TRUE(ReadBinary(app, "infovalue", &value));
  EXPECT_EQ(U32(value), 0x80000003u);
  ASSERT_TRUE(ReadBinary(app, "Dial_tCtx", &value));
  EXPECT_EQ(value, std::vector<uint8_t>(context, context + 44));  // opaque, kept
  DeleteKey(app);
}

HWND Button(HWND parent, int id, uint32_t mode, NotifyCallback callback = nullptr,
            void* user = nullptr) {
  return CreateImageButtonEx(parent, id, 10 + 40 * (id % 6), 10, mode, GetStockBitmap(2),
                             GetStockBitmap(3), nullptr, callback, user);
}

float ValueOf(HWND button) {
  return FloatFromBits(static_cast<uint32_t>(SendMessageA(button, WM_COMMAND, kCtlGetValue, 0)));
}

void Click(HWND button, int x, int y, int up_x, int up_y) {
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(up_x, up_y));
}

TEST(ImageButton, CallbackOrPostedCommandNeverBoth) {
  Library library;
  Host host;
  Received got;
  HWND with_callback = Button(host.window, 11, kButtonToggle, Record, &got);
  HWND posting = Button(host.window, 12, kButtonToggle);
  ASSERT_NE(with_callback, nullptr);
  ASSERT_NE(posting, nullptr);
  int w, h;
  GetBitmapSize(GetStockBitmap(2), &w, &h);
  RECT r;
  GetClientRect(posting, &r);
  EXPECT_EQ(r.right, w);  // size from the off image
  EXPECT_EQ(r.bottom, h);

  Click(with_callback, 3, 3, 3, 3);
  ASSERT_EQ(got.calls.size(), 1u);
  EXPECT_EQ(got.calls[0].first, 11u);
  EXPECT_EQ(got.calls[0].second, 1.0f);
  EXPECT_TRUE(TakeCommands(host.window).empty());

  Click(posting, 3, 3, 3, 3);
  Click(posting, 3, 3, 3, 3);
  const auto commands = TakeCommands(host.window);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].first, 12u);
  EXPECT_EQ(FloatFromBits(static_cast<uint32_t>(commands[0].second)), 1.0f);
  EXPECT_EQ(FloatFromBits(static_cast<uint32_t>(commands[1].second)), 0.0f);
  EXPECT_EQ(got.calls.size(), 1u);

  // The stock toggle posts to its parent and has the stock size.
  HWND stock = CreateStockToggle(host.window, 13, 200, 10, 0);
  GetClientRect(stock, &r);
  EXPECT_EQ(r.right, 24);
  EXPECT_EQ(r.bottom, 16);
  SendMessageA(stock, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(stock, WM_KEYUP, VK_SPACE, 0);
  const auto toggled = TakeCommands(host.window);
  ASSERT_EQ(toggled.size(), 1u);
  EXPECT_EQ(toggled[0].first, 13u);
}

TEST(ImageButton, NothingDeliveredOnceTheLibraryEnds) {
  Received got;
  Host host;
  HWND button;
  {
    Library library;
    button = Button(host.window, 5, kButtonToggle, Record, &got);
  }
  // The library has ended; the window still exists but tells nobody.
  Click(button, 2, 2, 2, 2);
  EXPECT_TRUE(got.calls.empty());
  NotifyTarget posting = {host.window, nullptr, 0, nullptr};
  SendNotification(&posting, 5, 0);
  EXPECT_TRUE(TakeCommands(host.window).empty());
  DestroyWindow(button);
  // The class could not go while its window lived; it can now.
  UnregisterClassA(kImageButtonClass, GetModuleHandleA(nullptr));
}

TEST(ImageButton, PushToggleSelectAndIndicator) {
  Library library;
  Host host;
  Received got;
  const uint32_t events = kNotifyBeginEnd;

  HWND push = Button(host.window, 1, kButtonPush | events, Record, &got);
  SendMessageA(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  EXPECT_EQ(ValueOf(push), 1.0f);
  EXPECT_EQ(GetCapture(), push);
  SendMessageA(push, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(ValueOf(push), 0.0f);
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_EQ(got.calls.size(), 3u);
  EXPECT_EQ(got.calls[0].first, 1u | 0x8000u);
  EXPECT_EQ(got.calls[1], std::make_pair(1u, 1.0f));
  EXPECT_EQ(got.calls[2].first, 1u | 0x4000u);
  got.calls.clear();
  // Released outside (negative coordinates are signed): no click, but the release event.
  Click(push, 4, 4, -5, 4);
  ASSERT_EQ(got.calls.size(), 2u);
  EXPECT_EQ(got.calls[0].first, 1u | 0x8000u);
  EXPECT_EQ(got.calls[1].first, 1u | 0x4000u);
  EXPECT_EQ(ValueOf(push), 0.0f);
  got.calls.clear();
  // Enter is a click at (1, 1): always inside.
  SendMessageA(push, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(push, WM_KEYUP, VK_RETURN, 0);
  ASSERT_EQ(got.calls.size(), 3u);
  EXPECT_EQ(got.calls[1], std::make_pair(1u, 1.0f));
  got.calls.clear();
  // A cancelled press is no click.
  SendMessageA(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(push, WM_CANCELMODE, 0, 0);
  ASSERT_EQ(got.calls.size(), 2u);
  EXPECT_EQ(got.calls[1].first, 1u | 0x4000u);
  got.calls.clear();

  HWND toggle = Button(host.window, 2, kButtonToggle, Record, &got);
  Click(toggle, 3, 3, 3, 3);
  Click(toggle, 3, 3, 3, 3);
  ASSERT_EQ(got.calls.size(), 2u);
  EXPECT_EQ(got.calls[0], std::make_pair(2u, 1.0f));
  EXPECT_EQ(got.calls[1], std::make_pair(2u, 0.0f));
  got.calls.clear();

  HWND select = Button(host.window, 3, kButtonSelect, Record, &got);
  Click(select, 3, 3, 3, 3);
  Click(select, 3, 3, 3, 3);  // already on: ignored completely
  ASSERT_EQ(got.calls.size(), 1u);
  EXPECT_EQ(ValueOf(select), 1.0f);
  SendMessageA(select, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(0.0f)));
  EXPECT_EQ(ValueOf(select), 0.0f);
  Click(select, 3, 3, 3, 3);
  EXPECT_EQ(got.calls.size(), 2u);
  got.calls.clear();

  HWND lamp = Button(host.window, 4, kButtonIndicator, Record, &got);
  Click(lamp, 3, 3, 3, 3);
  SendMessageA(lamp, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(got.calls.empty());
  SendMessageA(lamp, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(0.5f)));
  EXPECT_EQ(ValueOf(lamp), 1.0f);  // any non-zero value is stored as 1.0
  EXPECT_TRUE(got.calls.empty());  // set value never notifies

  // Disabled buttons ignore presses; enabling brings them back.
  SendMessageA(toggle, WM_COMMAND, kCtlDisable, 0);
  Click(toggle, 3, 3, 3, 3);
  EXPECT_TRUE(got.calls.empty());
  SendMessageA(toggle, WM_COMMAND, kCtlEnable, 0);
  Click(toggle, 3, 3, 3, 3);
  EXPECT_EQ(got.calls.size(), 1u);

  // Tab and Escape go on to the parent.
  SendMessageA(toggle, WM_KEYDOWN, VK_TAB, 0x0F0001);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, host.window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_TAB));
  EXPECT_EQ(msg.lParam, 0x0F0001);
}

TEST(ImageButton, AutoRepeatSchedule) {
  Library library;
  Host host;
  Received got;
  HWND push = Button(host.window, 9, kButtonPush | kButtonAutoRepeat, Record, &got);
  SendMessageA(push, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  ASSERT_EQ(got.calls.size(), 1u);  // the value at the press
  std::vector<int> notified_at;
  for (int tick = 0; tick < 50; ++tick) {
    const size_t before = got.calls.size();
    SendMessageA(push, WM_TIMER, 100, 0);
    if (got.calls.size() > before) notified_at.push_back(tick);
  }
  std::vector<int> expected = {8, 12, 16, 20};
  for (int n = 22; n <= 40; n += 2) expected.push_back(n);
  for (int n = 41; n < 50; ++n) expected.push_back(n);
  EXPECT_EQ(notified_at, expected);
  // Outside the button the ticks do not count.
  SendMessageA(push, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, 4));
  const size_t before = got.calls.size();
  for (int tick = 0; tick < 5; ++tick) SendMessageA(push, WM_TIMER, 100, 0);
  EXPECT_EQ(got.calls.size(), before);
  SendMessageA(push, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(push, WM_TIMER, 100, 0);
  EXPECT_EQ(got.calls.size(), before + 1);
  SendMessageA(push, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  EXPECT_EQ(got.calls.size(), before + 1);  // no notification for the release itself
  SendMessageA(push, WM_TIMER, 100, 0);
  EXPECT_EQ(got.calls.size(), before + 1);
  EXPECT_EQ(ValueOf(push), 0.0f);
}

TEST(ImageButton, DisabledCrossAndFocusMarkPixels) {
  Library library;
  Host host(50, 50, 200, 120);
  HBITMAP blue = SolidBitmap(40, 40, RGB(0, 0, 255));
  HBITMAP green = SolidBitmap(40, 40, RGB(0, 255, 0));
  HWND button = CreateImageButtonEx(host.window, 1, 10, 10, kButtonToggle, blue, green, nullptr,
                                    nullptr, nullptr);
  SetFocus(button);
  UpdateWindow(button);
  Pump();
  EXPECT_EQ(ScreenPixel(button, 1, 1), RGB(252, 60, 30));  // the red focus mark
  EXPECT_EQ(ScreenPixel(button, 20, 10), RGB(0, 0, 255));  // the off face
  EXPECT_EQ(ScreenPixel(button, 10, 20), RGB(0, 0, 255));

  SendMessageA(button, WM_COMMAND, kCtlDisable, 0);
  UpdateWindow(button);
  Pump();
  // White cross bars along both diagonals, outlined in black; no focus mark.
  EXPECT_EQ(ScreenPixel(button, 20, 20), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(button, 30, 30), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(button, 30, 9), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(button, 20, 2), RGB(0, 0, 255));  // between the bars
  EXPECT_NE(ScreenPixel(button, 1, 1), RGB(252, 60, 30));
  DestroyWindow(button);
  DeleteObject(blue);
  DeleteObject(green);
}

TEST(ImageButton, CycleFocusSkipsDisabledBothWays) {
  Library library;
  Host host;
  HWND b[4];
  for (int i = 0; i < 4; ++i) b[i] = Button(host.window, i + 1, kButtonToggle);
  SendMessageA(b[1], WM_COMMAND, kCtlDisable, 0);
  EnableWindow(b[1], FALSE);
  SetFocus(host.window);
  EXPECT_EQ(CycleFocus(host.window, VK_TAB), 0);
  EXPECT_EQ(GetFocus(), b[0]);  // nothing of ours focused: the first child
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[2]);  // b[1] is disabled
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[3]);
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[0]);  // wraps round
  EXPECT_EQ(CycleFocus(host.window, 'A'), 1);

  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  SetFocus(b[3]);
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[2]);
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[0]);
  CycleFocus(host.window, VK_TAB);
  EXPECT_EQ(GetFocus(), b[0]);  // Shift+Tab stops at the first control
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

TEST(WindowDrag, MovesByTheLastOutline) {
  Library library;
  Host host(100, 100, 200, 100);
  WindowDragState drag;
  InitWindowDrag(&drag, host.window);
  HWND previous = CreateWindowExA(0, "CtlTestHost", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  SetCapture(previous);

  // Press and release without moving: nothing moves, the capture comes back.
  BeginWindowDrag(&drag, 10, 10);
  EXPECT_EQ(IsWindowDragging(&drag), 1);
  EXPECT_EQ(GetCapture(), host.window);
  EndWindowDrag(&drag, 10, 10);
  RECT r;
  GetWindowRect(host.window, &r);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(GetCapture(), previous);

  BeginWindowDrag(&drag, 10, 10);
  EXPECT_EQ(drag.width, 201);
  EXPECT_EQ(drag.grab_x, 10);
  MoveWindowDrag(&drag, 30, 20);
  MoveWindowDrag(&drag, 60, 40);
  EXPECT_EQ(drag.outline_drawn, 1);
  EndWindowDrag(&drag, 500, 500);  // the release point itself does not count
  GetWindowRect(host.window, &r);
  EXPECT_EQ(r.left, 150);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(IsWindowDragging(&drag), 0);
  MoveWindowDrag(&drag, 90, 90);  // not dragging: nothing
  EndWindowDrag(&drag, 90, 90);
  GetWindowRect(host.window, &r);
  EXPECT_EQ(r.left, 150);
  ReleaseCapture();
  DestroyWindow(previous);
}

TEST(ValuePopup, CornersShowUpdateHide) {
  Library library;
  Host host(200, 200, 300, 200);
  HWND popup = GetPopupSlot(kSlotValuePopup);
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(IsWindowVisible(popup));
  const POINT c1 = ValuePopupOrigin(1, 100, 50, 40, 30);
  const POINT c2 = ValuePopupOrigin(2, 100, 50, 40, 30);
  const POINT c3 = ValuePopupOrigin(3, 100, 50, 40, 30);
  const POINT c4 = ValuePopupOrigin(4, 100, 50, 40, 30);
  EXPECT_EQ(c1.x, 20);
  EXPECT_EQ(c1.y, 30);
  EXPECT_EQ(c2.x, 140);
  EXPECT_EQ(c2.y, 30);
  EXPECT_EQ(c3.x, 140);
  EXPECT_EQ(c3.y, 80);
  EXPECT_EQ(c4.x, 20);
  EXPECT_EQ(c4.y, 80);
  EXPECT_EQ(ValuePopupOrigin(9, 100, 50, 40, 30).x, c4.x);  // clamped to 4
  EXPECT_EQ(ValuePopupOrigin(0, 100, 50, 40, 30).y, c1.y);  // clamped to 1

  HWND focused = Button(host.window, 1, kButtonToggle);
  SetFocus(focused);
  ShowValuePopup(host.window, c3.x, c3.y, "1.000");
  EXPECT_TRUE(IsWindowVisible(popup));
  EXPECT_EQ(GetFocus(), focused);  // the control keeps the focus
  RECT r;
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 200 + 140);
  EXPECT_EQ(r.top, 200 + 80);
  EXPECT_EQ(r.right - r.left, 80);
  char text[64];
  GetWindowTextA(popup, text, sizeof text);
  EXPECT_STREQ(text, "1.000");
  ShowValuePopup(host.window, c3.x, c3.y, "2.000");  // same place: only the text
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 340);
  UpdateValuePopup("2.500");
  GetWindowTextA(popup, text, sizeof text);
  EXPECT_STREQ(text, "2.500");
  HideValuePopup();
  EXPECT_FALSE(IsWindowVisible(popup));
  UpdateValuePopup("9.999");  // hidden: nothing changes
  GetWindowTextA(popup, text, sizeof text);
  EXPECT_STREQ(text, "2.500");
  ShowValuePopup(host.window, c3.x, c3.y, "3.000");  // shown again in place
  EXPECT_TRUE(IsWindowVisible(popup));
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 340);
  HideValuePopup();
}

// Start/end cycles and many controls must give back every GDI object and
// every window.
TEST(ControlLibrary, NoObjectsLeftAfterCycles) {
  Host host;
  for (int cycle = 0; cycle < 60; ++cycle) {
    ASSERT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), "CtlLeaks"), 1) << cycle;
    std::vector<HWND> buttons;
    for (int i = 0; i < 20; ++i) {
      ImageButtonLook look = {};
      look.off_image = GetStockBitmap(4);
      look.on_image = GetStockBitmap(5);
      look.shape = i % 2;  // round ones use the mask cache
      look.mode = kButtonToggle;
      NotifyTarget target = {host.window, nullptr, 0, nullptr};
      buttons.push_back(CreateImageButton(host.window, i + 1, i * 20, 0, &look, &target));
      ASSERT_NE(buttons.back(), nullptr);
    }
    Pump();
    for (HWND b : buttons) DestroyWindow(b);
    EndControlLibrary();
    ASSERT_EQ(ControlLibraryGdiObjects(), 0) << cycle;
  }
  DeleteKey("CtlLeaks");

  // The count sees device contexts too: one kept on purpose shows.
  ASSERT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), "CtlLeaks"), 1);
  const int held = ControlLibraryGdiObjects();
  HDC leaked = CreateMemoryDc(nullptr);
  HDC borrowed = BorrowDc(host.window);
  EXPECT_EQ(ControlLibraryGdiObjects(), held + 2);
  DeleteMemoryDc(&leaked);
  ReturnDc(host.window, &borrowed);
  EXPECT_EQ(ControlLibraryGdiObjects(), held);
  EndControlLibrary();
  EXPECT_EQ(ControlLibraryGdiObjects(), 0);
  DeleteKey("CtlLeaks");
}

// A start that fails (a class name already taken by someone else) counts
// nothing and leaves nothing: no objects, none of its classes, the other
// class untouched; the next start, once the name is free, starts for real.
TEST(ControlLibrary, AFailedStartCountsNothing) {
  WNDCLASSA taken = {};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = GetModuleHandleA(nullptr);
  taken.lpszClassName = kSliderClass;
  ASSERT_NE(RegisterClassA(&taken), 0);
  EXPECT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), "CtlFailed"), 0);
  EXPECT_EQ(GetControlLibraryError(), kCtlSliderClass);
  EXPECT_EQ(ControlLibraryGdiObjects(), 0);
  EXPECT_FALSE(ClassRegistered(kKnobClass));
  EXPECT_TRUE(ClassRegistered(kSliderClass));
  EXPECT_EQ(GetControlPreferences(), nullptr);
  UnregisterClassA(kSliderClass, GetModuleHandleA(nullptr));

  EXPECT_EQ(InitControlLibrary(GetModuleHandleA(nullptr), "CtlFailed"), 1);
  for (const char* name : kAllClasses) EXPECT_TRUE(ClassRegistered(name)) << name;
  EndControlLibrary();
  EXPECT_FALSE(ClassRegistered(kKnobClass));
  DeleteKey("CtlFailed");
}

}  // namespace
