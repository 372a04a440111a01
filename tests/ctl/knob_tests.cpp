// The rotary knob under Wine with the generator's own knob parameters:
// drags in every mouse mode, latency, wheel and keys, notification order,
// the owner's commands, the context menu, capture loss, a callback that
// destroys the knob, and the pointer where the value says.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "ctl/value_control.h"
#include "tests/ctl/ctl_test_support.h"

namespace {

constexpr uint32_t kLevelStyle = kNotifyWhileMoving | kStyleEditQuick |
                                 StyleColors(0, 10);  // linear, quick edit, notify while moving
constexpr uint32_t kFrequencyStyle = kStyleLogarithmic | kNotifyWhileMoving | kStyleEditReciprocal |
                                     StyleColors(0, 10);  // logarithmic, time dialog on 1 / value

struct Rig {
  Library library;
  Host host{100, 100, 300, 200};
  Received owner;
  HBITMAP image = SolidBitmap(34, 34, RGB(255, 255, 255));
  ~Rig() { DeleteObject(image); }

  // The level knob (-80 … 0 dB, step 0.1) with extra style bits.
  HWND Level(uint32_t style = kLevelStyle) {
    return CreateKnobEx(host.window, 5, 40, 40, style, image, 17, 17, 225, 315, -80, 0, -40, 0.1f,
                        Record, &owner);
  }
  // The frequency knob (0.1 … 20000 Hz, factor 1.0145453 per unit).
  HWND Frequency() {
    return CreateKnobEx(host.window, 12, 120, 40, kFrequencyStyle, image, 17, 17, 225, 45, 0.1f,
                        20000, 1000, 1.0145453f, Record, &owner);
  }
  std::vector<uint32_t> Codes() {
    std::vector<uint32_t> codes;
    for (const auto& call : owner.calls) codes.push_back(call.first);
    owner.calls.clear();
    return codes;
  }
};

float Value(HWND knob) {
  return FloatFromBits(static_cast<uint32_t>(SendMessageA(knob, WM_COMMAND, kCtlGetValue, 0)));
}

void Set(HWND knob, float value) {
  SendMessageA(knob, WM_COMMAND, kCtlSetValue, static_cast<LPARAM>(FloatBits(value)));
}

void Press(HWND knob, int x, int y, WPARAM keys = MK_LBUTTON) {
  SendMessageA(knob, WM_LBUTTONDOWN, keys, MAKELPARAM(x, y));
}
void MoveTo(HWND knob, int x, int y) {
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
}
void Release(HWND knob, int x, int y) { SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

TEST(Knob, RelativeDragsInBothMouseModes) {
  Rig rig;
  HWND level = rig.Level();
  HWND frequency = rig.Frequency();
  const struct {
    HWND knob;
    uint32_t rot_mode;
    int dx, dy;
    float expected;
  } drags[] = {
      {level, 1, 0, 10, -39.0f},
      {level, 1, 0, -10, -41.0f},  // down raises with mode 1
      {level, 0, 0, 10, -41.0f},
      {level, 0, 0, -10, -39.0f},  // and lowers with mode 0
      {level, 1, 7, 3, -39.3f},
      {level, 0, -7, 3, -40.7f},  // horizontal wins when larger
      {level, 1, 0, 500, 0.0f},   // clamped
      {frequency, 1, 100, 0, 1000 * std::pow(1.0145453f, 100.0f)},
      {frequency, 1, 2000, 0, 20000.0f},
  };
  for (const auto& d : drags) {
    GetControlPreferences()->rot_mode = d.rot_mode;
    Set(d.knob, d.knob == level ? -40.0f : 1000.0f);
    Press(d.knob, 10, 10);
    MoveTo(d.knob, 10 + d.dx, 10 + d.dy);
    Release(d.knob, 10 + d.dx, 10 + d.dy);
    EXPECT_NEAR(Value(d.knob), d.expected, std::fabs(d.expected) * 1e-4 + 1e-4)
        << d.rot_mode << ": " << d.dx << "," << d.dy;
  }
  // Through real input too: the system's own capture and button messages.
  GetControlPreferences()->rot_mode = 1;
  Set(level, -40);
  Mouse(OnScreen(level, 17, 10), true, false);
  Pump();
  Mouse(OnScreen(level, 17, 30), false, false);
  Pump();
  Mouse(OnScreen(level, 17, 30), false, true);
  Pump();
  EXPECT_NEAR(Value(level), -38.0f, 1e-4);
  EXPECT_NE(GetCapture(), level);
}

TEST(Knob, AngularModeIgnoresTheCentreAndSnapsTheDeadZone) {
  Rig rig;
  HWND level = rig.Level();
  GetControlPreferences()->rot_mode = 2;
  const struct {
    int x, y;
    float expected;
  } points[] = {
      {17, 2, -40.0f},    // straight up: the middle of a 270° sweep
      {20, 19, -40.0f},   // within 8 pixels of the centre: ignored
      {2, 17, -66.667f},  // left: 90° from the top
      {12, 34, -80.0f},   // below, nearer the start: snaps to the minimum
      {22, 34, 0.0f},     // below, nearer the end: snaps to the maximum
  };
  Press(level, 17, 2);
  for (const auto& p : points) {
    MoveTo(level, p.x, p.y);
    EXPECT_NEAR(Value(level), p.expected, 1e-2) << p.x << "," << p.y;
  }
  Release(level, 22, 34);
  GetControlPreferences()->rot_mode = 1;
}

TEST(Knob, LatencyHoldsMovesUntilItsTimer) {
  Rig rig;
  HWND level = rig.Level();
  GetControlPreferences()->rot_latency = 300;
  Press(level, 10, 10);
  MoveTo(level, 10, 20);
  EXPECT_EQ(Value(level), -40.0f);  // held back
  SendMessageA(level, WM_TIMER, kLatencyTimerId, 0);
  MoveTo(level, 10, 25);
  EXPECT_NEAR(Value(level), -38.5f, 1e-4);  // held moves were ignored: from the press
  Release(level, 10, 25);
  GetControlPreferences()->rot_latency = 0;
}

TEST(Knob, WheelAndKeysAlsoWhenDisabled) {
  Rig rig;
  HWND level = rig.Level();
  SetFocus(level);
  const struct {
    UINT message;
    WPARAM wparam;
    uint32_t rot_mode;
    float change;
  } inputs[] = {
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 1, -0.5f},  // a notch up lowers with mode 1
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, 0.5f},
      {WM_KEYDOWN, VK_UP, 1, 1.0f},
      {WM_KEYDOWN, VK_DOWN, 1, -1.0f},
      {WM_KEYDOWN, VK_LEFT, 1, -0.1f},
      {WM_KEYDOWN, VK_RIGHT, 1, 0.1f},
  };
  for (int disabled = 0; disabled < 2; ++disabled) {
    SendMessageA(level, WM_COMMAND, disabled ? kCtlDisable : kCtlEnable, 0);
    for (const auto& in : inputs) {
      GetControlPreferences()->rot_mode = in.rot_mode;
      Set(level, -40);
      SendMessageA(level, in.message, in.wparam, 0);
      EXPECT_NEAR(Value(level), -40 + in.change, 1e-4) << in.message << " " << in.wparam;
    }
  }
  rig.owner.calls.clear();
  Press(level, 10, 10);  // the mouse does nothing on a disabled knob
  MoveTo(level, 10, 30);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(rig.owner.calls.empty());
  GetControlPreferences()->rot_mode = 1;
}

TEST(Knob, NotificationOrderByStyle) {
  Rig rig;
  const uint32_t id = 5, begin = id | kNotifyBegin, end = id | kNotifyEnd;
  const struct {
    uint32_t style;
    std::vector<uint32_t> codes;
  } cases[] = {
      {kStyleEditQuick | StyleColors(0, 10), {id}},  // only the release
      {kNotifyBeginEnd | kStyleEditQuick | StyleColors(0, 10),
       {begin, id, end}},  // with begin and end
      {kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10),
       {id, id, id}},  // every move, then the release
      {kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10),
       {begin, id, id, id, end}},
      {kStyleSpringBack | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10),
       {id, id, id, id}},  // spring back reports the default too
  };
  for (const auto& c : cases) {
    HWND knob = rig.Level(c.style);
    Press(knob, 10, 10);
    MoveTo(knob, 10, 12);
    MoveTo(knob, 10, 15);
    Release(knob, 10, 15);
    EXPECT_EQ(rig.Codes(), c.codes) << std::hex << c.style;
    if (c.style & kStyleSpringBack) {
      EXPECT_EQ(Value(knob), -40.0f);
    }
    DestroyWindow(knob);
  }
  // A double-click resets to the default with a full change.
  HWND knob =
      rig.Level(kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  Set(knob, -12);
  SendMessageA(knob, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(Value(knob), -40.0f);
  EXPECT_EQ(rig.Codes(), (std::vector<uint32_t>{begin, id, end}));
  // The owner's set-value: inside the range only, never notified.
  Set(knob, 5);
  Set(knob, -81);
  EXPECT_EQ(Value(knob), -40.0f);
  Set(knob, -3);
  EXPECT_EQ(Value(knob), -3.0f);
  EXPECT_TRUE(rig.owner.calls.empty());
}

TEST(Knob, MenuCommandsAndTheirPreferences) {
  Rig rig;
  HWND knob =
      rig.Level(kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  ControlPreferences* p = GetControlPreferences();
  const struct {
    int command;
    uint32_t ControlPreferences::*field;
    uint32_t before, after;
  } settings[] = {
      {10, &ControlPreferences::rot_mode, 1, 0},
      {10, &ControlPreferences::rot_mode, 0, 1},
      {10, &ControlPreferences::rot_mode, 3, 3},
      {12, &ControlPreferences::rot_mode, 1, 3},
      {12, &ControlPreferences::rot_mode, 3, 1},
      {20, &ControlPreferences::rot_move, 0, 1},
      {1300, &ControlPreferences::rot_latency, 0, 300},
      {2000, &ControlPreferences::infovalue, 0x80000002u, 0x00000002u},  // off keeps the corner
      {2000, &ControlPreferences::infovalue, 0x00000002u, 0x80000002u},
      {2004, &ControlPreferences::infovalue, 0x80000002u, 0x80000004u},
  };
  for (const auto& s : settings) {
    p->*s.field = s.before;
    SendMessageA(knob, WM_COMMAND, static_cast<WPARAM>(s.command), 0);
    EXPECT_EQ(p->*s.field, s.after) << s.command;
  }
  DefaultPreferences(p);
  const uint32_t id = 5, begin = id | kNotifyBegin, end = id | kNotifyEnd;
  SendMessageA(knob, WM_COMMAND, kMenuMinimum, 0);
  EXPECT_EQ(Value(knob), -80.0f);
  SendMessageA(knob, WM_COMMAND, kMenuMaximum, 0);
  EXPECT_EQ(Value(knob), 0.0f);
  SendMessageA(knob, WM_COMMAND, kMenuDefault, 0);
  EXPECT_EQ(Value(knob), -40.0f);
  EXPECT_EQ(rig.Codes(), (std::vector<uint32_t>{begin, id, end, begin, id, end, begin, id, end}));

  // The opened menu of a decibel knob at 1.0: its current value, its checks.
  HWND decibel =
      CreateKnobEx(rig.host.window, 7, 200, 40,
                   kStyleLogarithmic | kNotifyWhileMoving | kStyleDecibel | StyleColors(0, 10),
                   rig.image, 17, 17, 225, 315, 0.0f, 1.0f, 1.0f, 0.01f, Record, &rig.owner);
  HWND bare =
      rig.Level(kStyleNoEditing | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  const HMENU menu = ValueControlOf(decibel)->menu.main;
  std::string current, maximum;
  UINT maximum_state = 0, default_state = 0;
  p->rot_mode = 3;
  UINT inverse_state = 0;
  StartScript({[&] {
                char text[128];
                GetMenuStringA(menu, kMenuCurrentValue, text, sizeof text, MF_BYCOMMAND);
                current = text;
                GetMenuStringA(menu, kMenuMaximum, text, sizeof text, MF_BYCOMMAND);
                maximum = text;
                maximum_state = GetMenuState(menu, kMenuMaximum, MF_BYCOMMAND);
                default_state = GetMenuState(menu, kMenuDefault, MF_BYCOMMAND);
                inverse_state = GetMenuState(menu, kMenuInverseOrCaptured, MF_BYCOMMAND);
              }},
              [] { EndMenu(); });
  SendMessageA(decibel, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(StopScript(), 1u);
  EXPECT_EQ(current, "Current value : 0.000 db");
  EXPECT_EQ(maximum, "Value Max (0.0 db)");
  EXPECT_TRUE(maximum_state & MF_CHECKED);
  EXPECT_TRUE(default_state & MF_CHECKED);
  EXPECT_TRUE(inverse_state & MF_GRAYED);                           // angular mode on
  EXPECT_EQ(GetMenuItemCount(ValueControlOf(bare)->menu.main), 6);  // no value items
  DefaultPreferences(p);
}

TEST(Knob, DragEndsOnCaptureLossDisableAndDestroy) {
  Rig rig;
  const uint32_t id = 5, begin = id | kNotifyBegin, end = id | kNotifyEnd;
  HWND knob =
      rig.Level(kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  HWND popup = GetPopupSlot(kSlotValuePopup);
  Press(knob, 10, 10);
  MoveTo(knob, 10, 20);
  EXPECT_TRUE(IsWindowVisible(popup));
  SetCapture(rig.host.window);  // a message box, Alt+Tab: the capture goes elsewhere
  EXPECT_EQ(rig.Codes(), (std::vector<uint32_t>{begin, id, id, end}));
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_EQ(GetCapture(), rig.host.window);
  ReleaseCapture();
  MoveTo(knob, 10, 40);  // no longer dragging
  EXPECT_NEAR(Value(knob), -39.0f, 1e-4);

  // The owner disables the knob from its own notification mid-drag.
  struct Disabler {
    HWND knob;
    Received seen;
  } disabler{knob, {}};
  HWND disabling = CreateKnobEx(
      rig.host.window, 8, 200, 40,
      kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10), rig.image, 17,
      17, 225, 315, -80, 0, -40, 0.1f,
      [](void* user, uint32_t code, uint32_t bits) {
        auto* d = static_cast<Disabler*>(user);
        Record(&d->seen, code, bits);
        if ((code & 0xFFFF) == 8) SendMessageA(d->knob, WM_COMMAND, kCtlDisable, 0);
        return 0;
      },
      &disabler);
  disabler.knob = disabling;
  Press(disabling, 10, 10);
  MoveTo(disabling, 10, 20);
  EXPECT_NE(GetCapture(), disabling);
  ASSERT_FALSE(disabler.seen.calls.empty());
  EXPECT_EQ(disabler.seen.calls.back().first, 8u | kNotifyEnd);

  // The owner destroys the knob from its notification: nothing touches it after.
  HWND doomed = CreateKnobEx(
      rig.host.window, 9, 240, 40,
      kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10), rig.image, 17,
      17, 225, 315, -80, 0, -40, 0.1f,
      [](void* user, uint32_t code, uint32_t) {
        if ((code & 0xFFFF) == 9) DestroyWindow(*static_cast<HWND*>(user));
        return 0;
      },
      &doomed);
  Press(doomed, 10, 10);
  MoveTo(doomed, 10, 20);
  EXPECT_FALSE(IsWindow(doomed));
  EXPECT_NE(GetCapture(), doomed);
  EXPECT_FALSE(IsWindowVisible(popup));
}

TEST(Knob, EditValueByTypingAndAsAPeriod) {
  Rig rig;
  HWND level =
      rig.Level(kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  HWND decibel = CreateKnobEx(rig.host.window, 7, 200, 40,
                              kNotifyBeginEnd | kStyleDecibel | StyleColors(0, 10), rig.image, 17,
                              17, 225, 315, 0.0f, 1.0f, 1.0f, 0.01f, Record, &rig.owner);
  HWND frequency = rig.Frequency();
  HWND no_editing = rig.Level(kNotifyBeginEnd | kStyleNoEditing | kNotifyWhileMoving |
                              kStyleEditQuick | StyleColors(0, 10));
  const struct {
    HWND knob;
    const char* typed;
    float expected;
  } edits[] = {
      {level, "-12.5", -12.5f},     {level, "-99", -12.5f},  // outside the range: ignored
      {decibel, "-6", 0.5011872f},                           // typed in decibels
      {frequency, "0.002", 500.0f},                          // the time dialog shows the period
      {no_editing, "-3", -40.0f},                            // Insert does nothing
  };
  for (const auto& e : edits) {
    SetFocus(e.knob);
    StartScript({[&] { Type(e.typed); }, [] { Key(VK_RETURN); }}, [] {
      for (int slot : {kSlotQuickEdit, kSlotTimeEntry}) {
        if (HWND editor = GetPopupSlot(slot)) PostMessageA(editor, WM_CLOSE, 0, 0);
      }
    });
    SendMessageA(e.knob, WM_KEYDOWN, VK_INSERT, 0);
    StopScript();
    Pump();
    EXPECT_NEAR(Value(e.knob), e.expected, std::fabs(e.expected) * 1e-5) << e.typed;
  }
}

TEST(Knob, PointerIsDrawnWhereTheValueSays) {
  Rig rig;
  HWND knob = rig.Level(kNotifyWhileMoving | kStyleEditQuick |
                        StyleColors(0, 10));  // pointer pen 0, brush 10 (dark grey) on a white face
  const struct {
    float value;
    int on_x, on_y, off_x, off_y;
  } cases[] = {
      {-80, 11, 23, 23, 23},  // 225°: down-left
      {0, 23, 23, 11, 23},    // 315°: down-right
      {-40, 17, 10, 17, 24},  // 90°: up
  };
  for (const auto& c : cases) {
    Set(knob, c.value);
    UpdateWindow(knob);
    Pump();
    EXPECT_LT(GetRValue(ScreenPixel(knob, c.on_x, c.on_y)), 128) << c.value;
    EXPECT_EQ(ScreenPixel(knob, c.off_x, c.off_y), RGB(255, 255, 255)) << c.value;
  }
}

}  // namespace

namespace {

// An owner that destroys the knob when it hears the value of a release.
int DestroyOnRelease(void* user_data, uint32_t code, uint32_t) {
  HWND* knob = static_cast<HWND*>(user_data);
  if ((code & 0xFFFF) == 5 && *knob) DestroyWindow(*knob);
  return 0;
}

// The owner hears only values the knob took: nothing for a refused or an
// untouched answer, nothing for a wheel delta below a step; "- inf" on a
// silent decibel knob is its minimum, never full level; and an owner that
// destroys the knob at the release takes the drag's value pop-up with it.
TEST(Knob, OwnerHearsOnlyTakenValues) {
  Rig rig;
  HWND level =
      rig.Level(kNotifyBeginEnd | kNotifyWhileMoving | kStyleEditQuick | StyleColors(0, 10));
  HWND silent = CreateKnobEx(rig.host.window, 7, 200, 40, kNotifyBeginEnd | kStyleDecibel,
                             rig.image, 17, 17, 225, 315, 0.0f, 1.0f, 0.0f, 0.01f, Record,
                             &rig.owner);
  const struct {
    HWND knob;
    const char* typed;
    float expected;
    size_t heard;
  } edits[] = {
      {level, "-99", -40.0f, 0},  // outside the range
      {level, "", -40.0f, 0},     // Enter on the text as it opened
      {silent, "", 0.0f, 0},      // "- inf" untouched
      {silent, "-inf", 0.0f, 3},  // the minimum, taken
      {silent, "loud", 0.0f, 0},  // no number, no infinity
      {silent, "-6", 0.5011872f, 3},
  };
  for (const auto& e : edits) {
    SetFocus(e.knob);
    StartScript({[&] { Type(e.typed); }, [] { Key(VK_RETURN); }}, [] {
      if (HWND editor = GetPopupSlot(kSlotQuickEdit)) PostMessageA(editor, WM_CLOSE, 0, 0);
    });
    SendMessageA(e.knob, WM_KEYDOWN, VK_INSERT, 0);
    StopScript();
    Pump();
    EXPECT_NEAR(Value(e.knob), e.expected, 1e-5) << e.typed;
    EXPECT_EQ(rig.Codes().size(), e.heard) << e.typed;
  }
  SendMessageA(level, WM_MOUSEWHEEL, MAKEWPARAM(0, 20), 0);  // below a fifth of a notch
  EXPECT_TRUE(rig.Codes().empty());
  EXPECT_EQ(Value(level), -40.0f);

  HWND doomed = CreateKnobEx(rig.host.window, 5, 120, 40, kStyleEditQuick, rig.image, 17, 17, 225,
                             315, -80, 0, -40, 0.1f, DestroyOnRelease, &doomed);
  Press(doomed, 17, 17);
  MoveTo(doomed, 17, 7);
  ASSERT_TRUE(IsWindowVisible(GetPopupSlot(kSlotValuePopup)));
  Release(doomed, 17, 7);
  EXPECT_FALSE(IsWindow(doomed));
  EXPECT_FALSE(IsWindowVisible(GetPopupSlot(kSlotValuePopup)));
}

}  // namespace
