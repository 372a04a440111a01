// The context menu of knobs and sliders: the library-wide mouse and info-box
// settings on top, the control's value items below. Built at creation,
// refreshed each time it opens, destroyed with the control. The rules for
// its settings items are in menu_rules.h.
#pragma once

#include <windows.h>

#include "ctl/portable/menu_rules.h"
#include "ctl/portable/value_range.h"

struct ValueMenu {
  HMENU main;
  HMENU latency;
  HMENU info;
  ValueMenuKind kind;
  bool value_items;  // "Current value", default, edit, adjust, minimum, maximum
  bool decibel;
  bool submenus_attached;  // then they go with the main menu
};

// Builds the three menus; the default, minimum and maximum texts are fixed
// now (6 decimals, 1 for a decibel control). Returns 1, or 0 when a menu
// could not be made (whatever was made is destroyed).
int BuildValueMenu(ValueMenu* menu, ValueMenuKind kind, const ValueRange* range, bool value_items,
                   bool decibel);

// Refreshes the check marks and the current value, then tracks the menu at
// client point (x, y) of `owner`, which receives the chosen command.
void ShowValueMenu(ValueMenu* menu, HWND owner, int x, int y, const ValueRange* range);

// Destroys the three menus (safe on a menu never built).
void DestroyValueMenu(ValueMenu* menu);
