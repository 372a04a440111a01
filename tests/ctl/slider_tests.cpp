// The slider under Wine: geometry, direct and relative drags, "Mouse
// Captured" off, reversed ranges, wheel and keys, the owner's commands, the
// two menu items, the thumb's pixels, and ranges without extent.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "ctl/value_control.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

constexpr uint32_t kPanStyle = kNotifyWhileMoving | kStyleEditQuick |
                               kStyleHorizontal;  // horizontal, quick edit, notify while moving

struct Rig {
  Library library;
  Host host{100, 100, 300, 200};
  Received owner;
  HBITMAP track = SolidBitmap(128, 20, RGB(255, 255, 255));
  HBITMAP thumb = SolidBitmap(20, 18, RGB(0, 0, 255));
  ~Rig() {
    DeleteObject(track);
    DeleteObject(thumb);
  }
  HWND Pan(float minimum = -1, float maximum = 1, uint32_t style = kPanStyle) {
    return CreateSliderEx(host.window, 50, 20, 40, style, track, thumb, minimum, maximum, 0.0f,
                          0.01f, 1, 0, 0, 1, Record, &owner);
  }
};

float Value(HWND slider) {
  return FloatFromBits(static_cast<uint32_t>(SendMessageA(slider, WM_COMMAND, kCtlGetValue, 0)));
}

void Set(HWND slider, float value) {
  SendMessageA(slider, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(value)));
}

TEST(Slider, GeometryDragsAndTheTwoMouseModes) {
  Rig rig;
  HWND pan = rig.Pan();
  ControlPreferences* p = GetControlPreferences();
  // Width 128, a 20-pixel thumb: the minimum at 0, the maximum at 108.
  Set(pan, -1);
  EXPECT_EQ(ScreenPixel(pan, 1, 5), RGB(0, 0, 255));
  Set(pan, 1);
  EXPECT_EQ(ScreenPixel(pan, 108, 5), RGB(0, 0, 255));
  EXPECT_EQ(ScreenPixel(pan, 107, 5), RGB(255, 255, 255));

  // Direct position: a press at x = 60 puts the thumb at 50.
  p->s_settopos = 1;
  SendMessageA(pan, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 8));
  EXPECT_NEAR(Value(pan), 50.0f / 54 - 1, 1e-6);
  SendMessageA(pan, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(118, 8));
  EXPECT_EQ(Value(pan), 1.0f);
  SendMessageA(pan, WM_LBUTTONUP, 0, MAKELPARAM(118, 8));
  p->s_settopos = 0;

  // Relative: a pixel is a step.
  Set(pan, 0);
  SendMessageA(pan, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 8));
  SendMessageA(pan, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(67, 30));
  EXPECT_NEAR(Value(pan), 0.07f, 1e-6);
  // Mouse Captured (the default): leaving the slider keeps the drag.
  EXPECT_EQ(GetCapture(), pan);
  SendMessageA(pan, WM_LBUTTONUP, 0, MAKELPARAM(67, 30));

  // "Mouse Captured" off: leaving ends the drag and reports the value; a
  // held button coming back starts a new one.
  p->s_capture = 0;
  rig.owner.calls.clear();
  SendMessageA(pan, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 8));
  SendMessageA(pan, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(62, 8));
  SendMessageA(pan, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(62, -3));
  EXPECT_NE(GetCapture(), pan);
  ASSERT_FALSE(rig.owner.calls.empty());
  EXPECT_NEAR(rig.owner.calls.back().second, 0.09f, 1e-6);
  SendMessageA(pan, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(62, 5));
  EXPECT_EQ(GetCapture(), pan);
  SendMessageA(pan, WM_LBUTTONUP, 0, MAKELPARAM(62, 5));
  p->s_capture = 1;
}

TEST(Slider, WheelKeysAndReversedRanges) {
  Rig rig;
  HWND pan = rig.Pan();
  HWND reversed = rig.Pan(1, -1);
  HWND vertical =
      CreateSliderEx(rig.host.window, 51, 200, 10, kNotifyWhileMoving | kStyleEditQuick, nullptr,
                     nullptr, 0, 1, 0.5f, 0.01f, 2, 0, 0, 0, Record, &rig.owner);
  const struct {
    HWND slider;
    UINT message;
    WPARAM wparam;
    float change;
  } inputs[] = {
      {pan, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), -0.05f},      // a notch up lowers
      {vertical, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0.05f},  // and raises a vertical one
      {pan, WM_KEYDOWN, VK_RIGHT, 0.01f},
      {pan, WM_KEYDOWN, VK_UP, 0.1f},
      {vertical, WM_KEYDOWN, VK_UP, 0.1f},
      {vertical, WM_KEYDOWN, VK_RIGHT, -0.01f},
      {reversed, WM_KEYDOWN, VK_RIGHT, -0.01f},
      {reversed, WM_KEYDOWN, VK_UP, -0.1f},  // swapped
  };
  for (int disabled = 0; disabled < 2; ++disabled) {
    for (const auto& in : inputs) {
      SendMessageA(in.slider, WM_COMMAND, disabled ? kCtlDisable : kCtlEnable, 0);
      Set(in.slider, in.slider == vertical ? 0.5f : 0.0f);
      SendMessageA(in.slider, in.message, in.wparam, 0);
      const float start = in.slider == vertical ? 0.5f : 0.0f;
      EXPECT_NEAR(Value(in.slider), start + in.change, 1e-6) << in.message << " " << in.wparam;
    }
  }
  // A reversed slider clamps between its two bounds; owner values outside
  // them are ignored.
  SendMessageA(reversed, WM_COMMAND, kCtlEnable, 0);
  for (int i = 0; i < 30; ++i) SendMessageA(reversed, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Value(reversed), 1.0f);
  Set(reversed, -1.5f);
  EXPECT_EQ(Value(reversed), 1.0f);
  Set(reversed, -0.5f);
  EXPECT_EQ(Value(reversed), -0.5f);
}

TEST(Slider, MenuItemsEditingAndDegenerateTracks) {
  Rig rig;
  HWND pan = rig.Pan();
  ControlPreferences* p = GetControlPreferences();
  SendMessageA(pan, WM_COMMAND, kMenuInverseOrCaptured, 0);
  EXPECT_EQ(p->s_capture, 0u);
  SendMessageA(pan, WM_COMMAND, kMenuAngularOrDirect, 0);
  EXPECT_EQ(p->s_settopos, 1u);
  EXPECT_EQ(p->rot_mode, 1u);  // the knobs' mode is untouched
  DefaultPreferences(p);
  EXPECT_EQ(GetMenuItemCount(ValueControlOf(pan)->menu.main), 12);

  // A disabled slider still opens "Edit Value" from Insert.
  SendMessageA(pan, WM_COMMAND, kCtlDisable, 0);
  SetFocus(pan);
  StartScript({[] { Type("0.25"); }, [] { Key(VK_RETURN); }}, [] {
    if (HWND box = GetPopupSlot(kSlotQuickEdit)) PostMessageA(box, WM_CLOSE, 0, 0);
  });
  SendMessageA(pan, WM_KEYDOWN, VK_INSERT, 0);
  StopScript();
  EXPECT_EQ(Value(pan), 0.25f);
  DestroyWindow(pan);

  // No range, or a track no longer than the thumb: created, thumb at the
  // minimum's end, never NaN.
  HBITMAP short_track = SolidBitmap(16, 20, RGB(255, 255, 255));
  HWND flat = rig.Pan(0.5f, 0.5f);
  HWND cramped = CreateSliderEx(rig.host.window, 52, 20, 100, kPanStyle, short_track, rig.thumb, -1,
                                1, 0, 0.01f, 1, 0, 0, 1, Record, &rig.owner);
  for (HWND s : {flat, cramped}) {
    ASSERT_NE(s, nullptr);
    SendMessageA(s, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 8));
    SendMessageA(s, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 8));
    SendMessageA(s, WM_LBUTTONUP, 0, MAKELPARAM(40, 8));
    SendMessageA(s, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_FALSE(std::isnan(Value(s)));
    Pump();
    EXPECT_EQ(ScreenPixel(s, 1, 5), RGB(0, 0, 255)) << (s == flat ? "flat" : "cramped");
  }
  DeleteObject(short_track);
}

}  // namespace
