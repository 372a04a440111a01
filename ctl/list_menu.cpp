// The list controls' context menu: see list_menu.h.
#include "ctl/list_menu.h"

#include "ctl/qx2ctl.h"

HMENU BuildListMenu(bool with_default_positions) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  const bool built =
      (!with_default_positions || AppendMenuA(menu, MF_STRING, kListDefaultPositions,
                                              "Default Panel Position\t[BACKSPACE]")) &&
      AppendMenuA(menu, MF_STRING, kListFirstLine, "First line\t[HOME]") &&
      AppendMenuA(menu, MF_STRING, kListLastLine, "Last line\t[End]");
  if (!built) {
    DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

void EnableListLineItems(HMENU menu, bool enabled) {
  const UINT state = enabled ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu, kListFirstLine, MF_BYCOMMAND | state);
  EnableMenuItem(menu, kListLastLine, MF_BYCOMMAND | state);
}

void OpenListMenu(HMENU menu, HWND window, int x, int y) {
  POINT at = {x, y};
  ClientToScreen(window, &at);
  TrackPopupMenu(menu, TPM_LEFTBUTTON | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
}
