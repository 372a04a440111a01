// The control library's one state record, shared by the library's sources.
#pragma once

#include "ctl/qx2ctl.h"

constexpr int kRoundMaskCacheSize = 31;
constexpr int kScratchSide = 128;

struct RoundMask {
  HBITMAP mask;
  int diameter;
};

struct ControlLibrary {
  int start_count;
  HINSTANCE instance;
  char application_name[128];
  char key[192];
  uint16_t last_error = kCtlNotInitialized;
  int notifications_enabled;
  ControlPreferences prefs;
  HWND popups[kPopupSlotCount];

  COLORREF palette[16];
  HBRUSH brushes[16];
  HPEN pens[16];
  HPEN dash_dot_pen;
  HBITMAP checker_bitmap;
  HBRUSH checker_brush;
  HFONT fonts[16];
  HBITMAP stock[kStockBitmapCount];
  RoundMask masks[kRoundMaskCacheSize];
  int mask_count;
  HBITMAP scratch;

  int gdi_objects;  // created minus deleted
};

extern ControlLibrary g_ctl;

// GDI bookkeeping: every object the library creates passes through Track and
// is deleted through Release, so tests can see that none is left behind.
template <typename T>
T TrackGdi(T object) {
  if (object) g_ctl.gdi_objects += 1;
  return object;
}
template <typename T>
void ReleaseGdi(T* object) {
  if (*object && DeleteObject(*object)) g_ctl.gdi_objects -= 1;
  *object = nullptr;
}

// Window procedures of the control families.
LRESULT CALLBACK ImageButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ValuePopupProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Creates the hidden value pop-up into its slot (at start).
void CreateValuePopupWindow();
