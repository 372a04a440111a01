// The precision-adjust window under Wine, over small test controls that own
// a value block: scale drags, the header drag, retargeting, the owner's
// set-value, capture loss and a control destroyed while it is shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "ctl/precision_adjust.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

// A stand-in for a knob: its value block, its owner's target, the set-value
// command with the range rule, and the precision window calls a knob makes.
struct TestControl {
  HWND window = nullptr;
  ValueRange range = {};
  NotifyTarget target = {};
  int closing_commands = 0;
  PrecisionTarget Precision() {
    return {window, range.style, 105, &target, GetDlgCtrlID(window), &range};
  }
};

LRESULT CALLBACK TestControlProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* c = reinterpret_cast<TestControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (c && message == WM_COMMAND && wparam == kCtlSetValue) {
    if (SetRangeValue(&c->range, FloatFromBits(static_cast<uint32_t>(lparam)))) {
      const PrecisionTarget p = c->Precision();
      SyncPrecisionAdjust(&p);
    }
    return 0;
  }
  if (c && message == WM_COMMAND && wparam == 105) c->closing_commands += 1;
  if (message == WM_DESTROY) ForgetPrecisionAdjustControl(window);
  return DefWindowProcA(window, message, wparam, lparam);
}

void MakeControl(TestControl* c, HWND parent, int id, float minimum, float maximum, float value,
                 uint32_t style, Received* owner) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestControlProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PrecisionTestControl";
    RegisterClassA(&wc);
    registered = true;
  }
  c->range = {minimum, maximum, value, 0.01f, 3, style, value, 0, 0, 0, 0};
  c->target = {parent, Record, kNotifyByCallback | kNotifyBeginEnd, owner};
  c->window = CreateWindowExA(0, "PrecisionTestControl", "", WS_CHILD | WS_VISIBLE, 10 + 40 * id,
                              10, 32, 32, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(c->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
}

void Refresh(TestControl* c) {
  const PrecisionTarget p = c->Precision();
  RefreshPrecisionAdjust(&p);
}

HWND Open(TestControl* c, HWND parent) {
  const PrecisionTarget p = c->Precision();
  return OpenPrecisionAdjust(parent, 400, 100, &p);
}

void Drag(HWND dialog, int x, int y, int dx, int dy) {
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx, y + dy));
  SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y + dy));
}

int ClientWidth(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return r.right;
}

TEST(PrecisionAdjust, ScaleDragsStepTheControlAndReachItsOwner) {
  Library library;
  Host host(0, 0, 300, 100);
  Received owner;
  TestControl a;
  MakeControl(&a, host.window, 1, 0, 1, 0.5f, 0, &owner);
  HWND dialog = Open(&a, host.window);
  ASSERT_NE(dialog, nullptr);
  char caption[64];
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Precision Tri Slider");
  const int third = ClientWidth(dialog) / 3;
  const struct {
    int zone, dx, dy, inverse;
    float change;
  } drags[] = {
      {1, 0, 10, 0, 0.01f},   {2, 0, 10, 0, 0.0001f}, {3, 0, 10, 0, 0.000001f},
      {1, 3, -7, 0, -0.007f},  // diagonal: the larger movement, with its sign
      {1, 9, -7, 0, 0.009f},  {1, 0, 10, 1, -0.01f},  // inverse mode
      {1, 0, 1000, 0, 1.0f},                          // limited to the maximum
  };
  for (const auto& d : drags) {
    GetControlPreferences()->a_imode = static_cast<uint32_t>(d.inverse);
    a.range.value = 0.5f;
    Refresh(&a);
    owner.calls.clear();
    Drag(dialog, third * (d.zone - 1) + 20, 150, d.dx, d.dy);
    const float expected = d.change == 1.0f ? 1.0f : 0.5f + d.change;
    EXPECT_NEAR(a.range.value, expected, 1e-6) << d.zone << " " << d.dx << "," << d.dy;
    ASSERT_EQ(owner.calls.size(), 3u);
    EXPECT_EQ(owner.calls[0].first, 1u | kNotifyBegin);
    EXPECT_EQ(owner.calls[1].first, 1u);
    EXPECT_EQ(owner.calls[1].second, a.range.value);
    EXPECT_EQ(owner.calls[2].first, 1u | kNotifyEnd);
  }
  GetControlPreferences()->a_imode = 0;
  // The inverse toggle in the corner flips the preference.
  RECT client;
  GetClientRect(dialog, &client);
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON,
               MAKELPARAM(client.right - 20, client.bottom - 10));
  Pump();
  EXPECT_EQ(GetControlPreferences()->a_imode, 1u);
  GetControlPreferences()->a_imode = 0;

  // A press in the header moves the window, not the value.
  RECT before, after;
  GetWindowRect(dialog, &before);
  owner.calls.clear();
  const float value = a.range.value;
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
  SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 30));
  SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(130, 30));
  GetWindowRect(dialog, &after);
  EXPECT_EQ(after.left - before.left, 30);
  EXPECT_EQ(after.top - before.top, 20);
  EXPECT_EQ(a.range.value, value);
  EXPECT_TRUE(owner.calls.empty());

  DestroyWindow(dialog);
  EXPECT_EQ(GetPopupSlot(kSlotPrecision), nullptr);
  EXPECT_EQ(a.closing_commands, 1);
  DestroyWindow(a.window);
}

TEST(PrecisionAdjust, FollowsTheControlInUseAndForgetsOneThatGoes) {
  Library library;
  Host host(0, 0, 300, 100);
  Received owner;
  TestControl a, b;
  MakeControl(&a, host.window, 1, 0, 1, 0.5f, 0, &owner);
  MakeControl(&b, host.window, 2, 20, 20000, 1000, 0, &owner);
  HWND dialog = Open(&a, host.window);
  EXPECT_EQ(Open(&b, host.window), dialog);  // retargeted, not a second window
  Drag(dialog, 20, 150, 0, 3);
  EXPECT_EQ(b.range.value, 1300.0f);  // steps of 100 on 20 … 20000
  EXPECT_EQ(a.range.value, 0.5f);
  // The owner sets a's value: the window keeps showing b.
  SendMessageA(a.window, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(0.25f)));
  Drag(dialog, 20, 150, 0, 1);
  EXPECT_EQ(b.range.value, 1400.0f);
  // a changes by itself (a drag on it): the window follows a.
  Refresh(&a);
  Drag(dialog, 20, 150, 0, 1);
  EXPECT_FLOAT_EQ(a.range.value, 0.251f);

  // Capture taken away mid-drag ends the adjustment like a release.
  owner.calls.clear();
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 150));
  SetCapture(host.window);
  ReleaseCapture();
  SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 160));
  ASSERT_EQ(owner.calls.size(), 2u);
  EXPECT_EQ(owner.calls[1].first, 1u | kNotifyEnd);
  EXPECT_FLOAT_EQ(a.range.value, 0.251f);

  // The shown control is destroyed: nothing more reaches it, the window closes.
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 150));
  DestroyWindow(a.window);
  owner.calls.clear();
  SendMessageA(dialog, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 170));
  SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(20, 170));
  EXPECT_TRUE(owner.calls.empty());
  Pump();
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(GetPopupSlot(kSlotPrecision), nullptr);
  DestroyWindow(b.window);
}

TEST(PrecisionAdjust, RangesWithoutExtentOrFiniteDecibelsStaySafe) {
  Library library;
  Host host(0, 0, 300, 100);
  Received owner;
  TestControl flat, decibel;
  MakeControl(&flat, host.window, 1, 3, 3, 3, 0, &owner);
  MakeControl(&decibel, host.window, 2, 0, 1, 0, kStyleDecibel, &owner);
  HWND dialog = Open(&flat, host.window);
  Drag(dialog, 20, 150, 0, 50);
  EXPECT_EQ(flat.range.value, 3.0f);
  Open(&decibel, host.window);
  Drag(dialog, 20, 150, 0, -3);  // up from -inf: lower, still 0
  EXPECT_EQ(decibel.range.value, 0.0f);
  Drag(dialog, 20, 150, 0, 1000);  // to 0 dB
  EXPECT_EQ(decibel.range.value, 1.0f);
  for (const auto& call : owner.calls) EXPECT_FALSE(std::isnan(call.second));
  DestroyWindow(dialog);
  DestroyWindow(flat.window);
  DestroyWindow(decibel.window);
}

// A decibel control's tapes stay inside its range (0.5 is -6.02 dB, not
// -6), and its owner hears only values the control took.
TEST(PrecisionAdjust, DecibelTapesStayInsideTheControlsRange) {
  Library library;
  Host host(0, 0, 300, 100);
  Received owner;
  TestControl c;
  MakeControl(&c, host.window, 1, 0.001f, 0.5f, 0.25f, kStyleDecibel, &owner);
  HWND dialog = Open(&c, host.window);
  for (int dy : {1000, -1000, 1000}) {
    owner.calls.clear();
    Drag(dialog, 20, 150, 0, dy);
    EXPECT_GE(c.range.value, 0.001f);
    EXPECT_LE(c.range.value, 0.5f);
    for (const auto& call : owner.calls) {
      if (call.first == 1u) {
        EXPECT_EQ(call.second, c.range.value);
      }
    }
  }
  EXPECT_NEAR(c.range.value, 0.5f, 1e-6);
  DestroyWindow(dialog);
  DestroyWindow(c.window);
}

}  // namespace
