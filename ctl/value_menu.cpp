// The knob and slider context menu: see value_menu.h.
#include "ctl/value_menu.h"

#include <cstdio>
#include <cstring>

#include "ctl/library_state.h"

static void AppendNumberItem(HMENU menu, UINT command, const char* before, float value,
                             int decimals, bool decibel, const char* after) {
  char number[96];
  FormatMenuNumber(value, decimals, decibel, number, sizeof number);
  char text[192];
  std::snprintf(text, sizeof text, "%s%s%s%s", before, number, decibel ? " db" : "", after);
  AppendMenuA(menu, MF_STRING, command, text);
}

static void CurrentValueText(const ValueMenu* menu, const ValueRange* range, char* text,
                             size_t size) {
  char number[96];
  FormatMenuNumber(range->value, static_cast<int>(range->decimals & 0xFF), menu->decibel, number,
                   sizeof number);
  std::snprintf(text, size, "Current value : %s%s", number, menu->decibel ? " db" : "");
}

int BuildValueMenu(ValueMenu* menu, ValueMenuKind kind, const ValueRange* range, bool value_items,
                   bool decibel) {
  std::memset(menu, 0, sizeof *menu);
  menu->kind = kind;
  menu->value_items = value_items;
  menu->decibel = decibel;
  menu->main = CreatePopupMenu();
  menu->latency = CreatePopupMenu();
  menu->info = CreatePopupMenu();
  if (!menu->main || !menu->latency || !menu->info) {
    DestroyValueMenu(menu);
    return 0;
  }
  for (int ms = 0; ms <= 500; ms += 100) {
    char text[32];
    std::snprintf(text, sizeof text, "Latency %i ms", ms);
    AppendMenuA(menu->latency, MF_STRING, static_cast<UINT>(kMenuLatencyFirst + ms), text);
  }
  AppendMenuA(menu->info, MF_STRING, kMenuInfoBox, "Enable Info Value Box");
  AppendMenuA(menu->info, MF_SEPARATOR, 0, nullptr);
  static const char* const kCorners[4] = {"Display on Left Top", "Display on Right Top",
                                          "Display on Right Bottom", "Display on Left Bottom"};
  for (int corner = 0; corner < 4; ++corner) {
    AppendMenuA(menu->info, MF_STRING, static_cast<UINT>(kMenuInfoCornerFirst + corner),
                kCorners[corner]);
  }

  HMENU m = menu->main;
  if (kind == kKnobMenu) {
    AppendMenuA(m, MF_STRING, kMenuInverseOrCaptured, "Inverse Mousemove Mode");
    AppendMenuA(m, MF_STRING, kMenuAngularOrDirect, "Angular Mousemove Mode");
    AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(m, MF_STRING, kMenuShowMoves, "Display Knob Moves");
  } else {
    AppendMenuA(m, MF_STRING, kMenuInverseOrCaptured, "Mouse Captured");
    AppendMenuA(m, MF_STRING, kMenuAngularOrDirect, "Direct mouse position");
    AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  }
  AppendMenuA(m, MF_POPUP, reinterpret_cast<UINT_PTR>(menu->latency),
              "Time before change value...");
  AppendMenuA(m, MF_POPUP, reinterpret_cast<UINT_PTR>(menu->info), "Info Box...");
  menu->submenus_attached = true;
  if (!value_items) return 1;

  const int fixed_decimals = decibel ? 1 : 6;
  if (kind == kKnobMenu) AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  char current[192];
  CurrentValueText(menu, range, current, sizeof current);
  AppendMenuA(m, MF_STRING | MF_GRAYED, kMenuCurrentValue, current);
  AppendNumberItem(m, kMenuDefault, "Default value (", range->default_value, fixed_decimals,
                   decibel, ")\tDBLCLICK");
  AppendMenuA(m, MF_STRING, kMenuEditValue, "Edit Value\tINS [CTRL+CLICK]");
  AppendMenuA(m, MF_STRING, kMenuAdjustValue, "Adjust Value\t[SHIFT+CLICK]");
  AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  AppendNumberItem(m, kMenuMinimum, "Value Min (", range->minimum, fixed_decimals, decibel, ")");
  AppendNumberItem(m, kMenuMaximum, "Value Max (", range->maximum, fixed_decimals, decibel, ")");
  return 1;
}

static void Check(HMENU menu, int command, bool on) {
  CheckMenuItem(menu, static_cast<UINT>(command), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

static void Refresh(ValueMenu* menu, const ValueRange* range) {
  const ControlPreferences* prefs = GetControlPreferences();
  if (!prefs) return;
  const SettingsMarks marks = GetSettingsMarks(prefs, menu->kind);
  Check(menu->main, kMenuInverseOrCaptured, marks.first_checked);
  EnableMenuItem(menu->main, kMenuInverseOrCaptured,
                 MF_BYCOMMAND | (marks.first_greyed ? MF_GRAYED : MF_ENABLED));
  Check(menu->main, kMenuAngularOrDirect, marks.second_checked);
  if (menu->kind == kKnobMenu) Check(menu->main, kMenuShowMoves, marks.moves_checked);
  for (int ms = 0; ms <= 500; ms += 100) {
    Check(menu->latency, kMenuLatencyFirst + ms, marks.latency_checked == kMenuLatencyFirst + ms);
  }
  Check(menu->info, kMenuInfoBox, marks.info_checked);
  for (int c = kMenuInfoCornerFirst; c <= kMenuInfoCornerLast; ++c) {
    Check(menu->info, c, marks.corner_checked == c);
  }
  if (!menu->value_items) return;
  char current[192];
  CurrentValueText(menu, range, current, sizeof current);
  ModifyMenuA(menu->main, kMenuCurrentValue, MF_BYCOMMAND | MF_STRING | MF_GRAYED,
              kMenuCurrentValue, current);
  Check(menu->main, kMenuDefault, range->value == range->default_value);
  Check(menu->main, kMenuMinimum, range->value == range->minimum);
  Check(menu->main, kMenuMaximum, range->value == range->maximum);
}

void ShowValueMenu(ValueMenu* menu, HWND owner, int x, int y, const ValueRange* range) {
  if (!menu->main) return;
  Refresh(menu, range);
  POINT at = {x, y};
  ClientToScreen(owner, &at);
  TrackPopupMenu(menu->main, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
}

void DestroyValueMenu(ValueMenu* menu) {
  if (menu->main) DestroyMenu(menu->main);
  if (!menu->submenus_attached) {
    if (menu->latency) DestroyMenu(menu->latency);
    if (menu->info) DestroyMenu(menu->info);
  }
  menu->main = menu->latency = menu->info = nullptr;
}
