// The context menu the list controls share: "First line" and "Last line",
// with "Default Panel Position" first on the stacked-panel list. Internal to
// the library.
#pragma once

#include <windows.h>

// The menu, or null when it could not be made (nothing is then held).
HMENU BuildListMenu(bool with_default_positions);

// Greys "First line" and "Last line" when `enabled` is false.
void EnableListLineItems(HMENU menu, bool enabled);

// Opens `menu` at client point (x, y) of `window`, which receives the chosen
// command as WM_COMMAND. Returns when the menu has closed.
void OpenListMenu(HMENU menu, HWND window, int x, int y);
