// Presses and drags that end other than by a release: an image button
// disabled while held or robbed of the capture, a callback that destroys
// its button, a window drag whose capture goes elsewhere; and the value
// pop-up's repaint, window style and slot.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "ctl/portable/menu_rules.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

HWND PushButton(HWND parent, Received* owner, uint32_t extra) {
  return CreateImageButtonEx(parent, 3, 10, 10, kButtonPush | extra, GetStockBitmap(2),
                             GetStockBitmap(3), nullptr, Record, owner);
}

float ValueOf(HWND control) {
  return FloatFromBits(static_cast<uint32_t>(SendMessageA(control, WM_COMMAND, kCtlGetValue, 0)));
}

TEST(ImageButtonPress, EndsWhenDisabledOrRobbedOfTheCapture) {
  Library library;
  Host host;
  const struct {
    bool disable;  // else the capture goes elsewhere
    uint32_t extra;
  } cases[] = {{true, kButtonAutoRepeat | kNotifyBeginEnd},
               {false, kButtonAutoRepeat | kNotifyBeginEnd},
               {true, kNotifyBeginEnd},
               {false, kNotifyBeginEnd}};
  for (const auto& c : cases) {
    Received owner;
    HWND button = PushButton(host.window, &owner, c.extra);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    EXPECT_EQ(GetCapture(), button);
    if (c.disable) {
      SendMessageA(button, WM_COMMAND, kCtlDisable, 0);
      EXPECT_EQ(GetCapture(), nullptr);
    } else {
      SetCapture(host.window);
      EXPECT_EQ(GetCapture(), host.window);  // left with its new owner
      ReleaseCapture();
    }
    EXPECT_EQ(ValueOf(button), 0.0f);
    ASSERT_FALSE(owner.calls.empty());
    EXPECT_EQ(owner.calls.back().first, 3u | kNotifyEnd);
    const size_t heard = owner.calls.size();
    for (int tick = 0; tick < 60; ++tick) SendMessageA(button, WM_TIMER, 100, 0);
    SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(owner.calls.size(), heard) << "no repeats and no click after the press ended";
    DestroyWindow(button);
  }
}

TEST(ImageButtonPress, ACallbackMayDestroyItsButton) {
  Library library;
  Host host;
  for (uint32_t extra : {0u, kNotifyBeginEnd, kButtonAutoRepeat}) {
    static HWND doomed;
    doomed = CreateImageButtonEx(
        host.window, 4, 10, 10, kButtonPush | extra, GetStockBitmap(2), GetStockBitmap(3), nullptr,
        [](void*, uint32_t code, uint32_t) {
          if ((code & 0xFFFF) == 4) DestroyWindow(doomed);
          return 0;
        },
        nullptr);
    SendMessageA(doomed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    SendMessageA(doomed, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    EXPECT_FALSE(IsWindow(doomed)) << extra;
    EXPECT_NE(GetCapture(), doomed);
  }
}

TEST(WindowDragEnd, CaptureLossErasesTheOutlineAndKeepsTheNewOwner) {
  Library library;
  Host host(100, 100, 200, 100);
  HWND other = CreateWindowExA(0, "CtlTestHost", "", WS_POPUP | WS_VISIBLE, 400, 400, 20, 20,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  Pump();
  WindowDragState drag;
  InitWindowDrag(&drag, host.window);
  BeginWindowDrag(&drag, 10, 10);
  MoveWindowDrag(&drag, 60, 60);
  // The outline's top edge runs through screen (150 + 50, 150): it is drawn.
  HDC screen = GetDC(nullptr);
  const COLORREF background = GetPixel(screen, 200, 300);
  const COLORREF on_outline = GetPixel(screen, 210, 150);
  BeginWindowDrag(&drag, 30, 30);  // a second press changes nothing
  EXPECT_EQ(drag.grab_x, 10);
  SetCapture(other);
  OnWindowDragCaptureChanged(&drag, other);
  const COLORREF after = GetPixel(screen, 210, 150);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(IsWindowDragging(&drag), 0);
  EXPECT_EQ(GetCapture(), other);
  RECT r;
  GetWindowRect(host.window, &r);
  EXPECT_EQ(r.left, 150);  // ended like a release: at the last outline
  EXPECT_NE(on_outline, after);
  (void)background;
  ReleaseCapture();
  DestroyWindow(other);
}

std::vector<COLORREF> PopupPixels(HWND popup) {
  std::vector<COLORREF> pixels;
  for (int y = 2; y < 18; y += 2) {
    for (int x = 2; x < 60; x += 2) pixels.push_back(ScreenPixel(popup, x, y));
  }
  return pixels;
}

TEST(ValuePopupWindow, RepaintsANewTextAndIsAToolWindow) {
  Library library;
  Host host(200, 200, 300, 200);
  HWND popup = GetPopupSlot(kSlotValuePopup);
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(GetWindowLongA(popup, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  ShowValuePopup(host.window, 10, 10, "1.000");
  Pump();
  Sleep(50);
  const std::vector<COLORREF> first = PopupPixels(popup);
  ShowValuePopup(host.window, 10, 10, "-42.75");  // same place, new text
  Pump();
  Sleep(50);  // the window surface reaches the screen
  const std::vector<COLORREF> second = PopupPixels(popup);
  EXPECT_NE(first, second);
  HideValuePopup();
  DestroyWindow(popup);  // not by the library's end: the slot forgets it
  EXPECT_EQ(GetPopupSlot(kSlotValuePopup), nullptr);
  ShowValuePopup(host.window, 10, 10, "x");  // and nothing uses the dead handle
}

}  // namespace

namespace {

// Controls and pop-ups made and destroyed many times leave no GDI object
// and no window behind.
TEST(ControlCycles, LeaveNothingBehind) {
  Library library;
  Host host(0, 0, 300, 200);
  HBITMAP image = SolidBitmap(32, 32, RGB(200, 200, 200));
  HBITMAP track = SolidBitmap(118, 17, RGB(200, 200, 200));
  HBITMAP thumb = SolidBitmap(20, 15, RGB(20, 20, 20));
  int objects = 0;
  for (int i = 0; i < 150; ++i) {
    if (i == 1) objects = ControlLibraryGdiObjects();  // after the round mask's first use
    HWND knob = CreateKnobEx(host.window, 1, 10, 10,
                             kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10), image, 16,
                             16, 225, 315, 0, 1, 0.5f, 0.01f, nullptr, nullptr);
    HWND slider = CreateSliderEx(host.window, 2, 60, 10,
                                 kNotifyWhileMoving | kStyleEditQuick | kStyleHorizontal, track,
                                 thumb, -1, 1, 0, 0.01f, 1, 0, 0, 1, nullptr, nullptr);
    ASSERT_NE(knob, nullptr) << i;
    ASSERT_NE(slider, nullptr) << i;
    SendMessageA(knob, WM_COMMAND, kMenuAdjustValue, 0);  // the precision window opens
    ASSERT_NE(GetPopupSlot(kSlotPrecision), nullptr);
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 8));
    SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(30, 8));
    DestroyWindow(knob);
    DestroyWindow(slider);
    Pump();  // the precision window closes once its knob is gone
    ASSERT_EQ(GetPopupSlot(kSlotPrecision), nullptr) << i;
  }
  EXPECT_EQ(ControlLibraryGdiObjects(), objects);
  EXPECT_EQ(GetWindow(host.window, GW_CHILD), nullptr);
  DeleteObject(image);
  DeleteObject(track);
  DeleteObject(thumb);
}

}  // namespace

namespace {

TEST(LibraryHelpers, PathToDirectory) {
  const struct {
    const char* path;
    const char* directory;
  } cases[] = {{"C:\\Program Files\\Gen\\readme.txt", "C:\\Program Files\\Gen"},
               {"C:\\Users\\john.smith", "C:\\Users"},  // a dot: taken as a file
               {"C:\\Gen\\tools", "C:\\Gen\\tools"},
               {"C:/Gen/readme.txt", "C:/Gen"},
               {"C:\\Gen/sub\\a.txt", "C:\\Gen/sub"},
               {"C:name.ext", "C:"},
               {"name.ext", ""}};
  for (const auto& c : cases) {
    char path[128];
    std::snprintf(path, sizeof path, "%s", c.path);
    PathToDirectory(path);
    EXPECT_STREQ(path, c.directory) << c.path;
  }
}

}  // namespace
