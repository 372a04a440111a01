// The control library's one state record and the interfaces its sources
// share with one another (the host sees only qx2ctl.h).
#pragma once

#include "ctl/qx2ctl.h"

// Pop-up slots: the one open pop-up of each kind. The library's state has
// eight; the four after the named ones are kept empty for pop-up kinds to
// come, and the end of the library closes whatever any slot holds.
enum PopupSlot {
  kSlotValuePopup,
  kSlotQuickEdit,
  kSlotTimeEntry,
  kSlotPrecision,
  kPopupSlotCount = 8
};

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

  int gdi_objects;  // GDI objects and device contexts made minus released
};

extern ControlLibrary g_ctl;

// GDI bookkeeping: every object the library creates passes through Track and
// is deleted through Release, and every device context it makes or borrows
// goes through the four functions below, so tests can see that none is left
// behind (drawing_objects.cpp).
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

// A memory DC compatible with `like` (null: the screen), and its deletion
// (which clears the handle; null is allowed).
HDC CreateMemoryDc(HDC like);
void DeleteMemoryDc(HDC* dc);
// A window's DC (null: the screen's) and its release (clears the handle).
HDC BorrowDc(HWND window);
void ReturnDc(HWND window, HDC* dc);

// The shared drawing objects: made at start, released at end.
void CreateDrawingObjects();
void DeleteDrawingObjects();

// ---------------------------------------------------------------------------
// Library-internal interfaces.

// The window of a pop-up slot, or null.
HWND GetPopupSlot(int slot);
void SetPopupSlot(int slot, HWND window);

// Creates a control window of `class_name` (WS_CHILD, WS_VISIBLE,
// WS_TABSTOP, `id` as child id, `record` as creation parameter), then shows
// and updates it. Returns the window or null.
HWND CreateControlWindow(const char* class_name, HWND parent, int id, int x, int y, int width,
                         int height, const void* record);

// Closes the pop-up of `slot` if one is open (WM_CLOSE).
void ClosePopupSlot(int slot);

// Value pop-up: one per process, shown beside a control while it is dragged.
void ShowValuePopup(HWND reference, int x, int y, const char* text);
void UpdateValuePopup(const char* text);
void HideValuePopup();

// Top-left of the 80 × 20 pop-up for a control at (x, y, w, h) of its parent,
// by corner 1 … 4 (clamped into that range).
POINT ValuePopupOrigin(int corner, int x, int y, int w, int h);

// Text in a text style (see qx2ctl.h) at (x, y): embossed text is drawn
// transparent, plain text on its background colour.
void DrawStyledText(HDC dc, uint32_t text_style, int x, int y, const char* text);

// The font, text colour and background colour a text style names.
HFONT TextStyleFont(uint32_t text_style);
COLORREF TextStyleColor(uint32_t text_style);
COLORREF TextStyleBackground(uint32_t text_style);

// Answers WM_CTLCOLOREDIT / WM_CTLCOLORLISTBOX for a field in a text style:
// sets the colours on `dc` and returns the background brush.
HBRUSH ColorFieldByTextStyle(HDC dc, uint32_t text_style);

// A line or polyline in palette pen `pen`, with a white copy one pixel right
// and down drawn first.
void DrawEmbossedLine(HDC dc, int pen, int x1, int y1, int x2, int y2);
void DrawEmbossedPolyline(HDC dc, int pen, const POINT* points, int count);

// A sunken box (left, top) to (right, bottom): filled with palette colour
// `fill`, top and left edges in palette pen 9, bottom and right edges white.
void DrawSunkenBox(HDC dc, int left, int top, int right, int bottom, int fill);

// Tiles the library background (stock bitmap 1512) over `area`.
void TileBackground(HDC dc, const RECT* area);


// Window procedures of the control families.
LRESULT CALLBACK FreePanelWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK KnobProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ImageButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ValuePopupProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK StackedListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK LineListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK ValueGridProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The drag outline (window drag, stacked-panel header drag): the rectangle
// (left, top) to (right, bottom) in the library's dash-dot pen, XOR, no
// brush, crossed at `cross` when it is given. Drawn again it erases itself.
void DrawDragOutline(HDC dc, int left, int top, int right, int bottom, const POINT* cross);

// True while the library delivers notifications (list controls call their
// owners only then).
inline bool NotificationsOn() { return g_ctl.notifications_enabled != 0; }

// Creates the hidden value pop-up into its slot (at start).
void CreateValuePopupWindow();
