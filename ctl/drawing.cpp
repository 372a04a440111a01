// Drawing shared by the library's controls and windows: round masks and the
// masked draw, the disabled cross and focus mark, text in a text style,
// embossed lines, sunken boxes, the tiled background.
//
// Every routine selects what it needs into the caller's DC and puts back
// what was there, so callers can mix them freely inside one paint.
#include <cstring>

#include "ctl/library_state.h"

HBITMAP GetRoundMask(HWND window, int diameter) {
  if (diameter <= 0) return nullptr;
  for (int i = 0; i < g_ctl.mask_count; ++i) {
    if (g_ctl.masks[i].diameter == diameter) return g_ctl.masks[i].mask;
  }
  if (g_ctl.mask_count >= kRoundMaskCacheSize) return nullptr;
  HDC window_dc = BorrowDc(window);
  if (!g_ctl.scratch)
    g_ctl.scratch = TrackGdi(CreateCompatibleBitmap(window_dc, kScratchSide, kScratchSide));
  HBITMAP mask = TrackGdi(CreateCompatibleBitmap(window_dc, diameter, diameter));
  HDC memory = CreateMemoryDc(window_dc);
  ReturnDc(window, &window_dc);
  if (!mask || !memory) {
    DeleteMemoryDc(&memory);
    ReleaseGdi(&mask);
    return nullptr;
  }
  HGDIOBJ old_bitmap = SelectObject(memory, mask);
  RECT all = {0, 0, diameter, diameter};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HGDIOBJ old_pen = SelectObject(memory, GetStockObject(BLACK_PEN));
  HGDIOBJ old_brush = SelectObject(memory, GetStockObject(BLACK_BRUSH));
  Ellipse(memory, 0, 0, diameter, diameter);
  SelectObject(memory, old_pen);
  SelectObject(memory, old_brush);
  SelectObject(memory, old_bitmap);
  DeleteMemoryDc(&memory);
  g_ctl.masks[g_ctl.mask_count++] = {mask, diameter};
  return mask;
}

void DrawMasked(HDC dc, int x, int y, int w, int h, HBITMAP image, HBITMAP mask) {
  if (!image) return;
  if (!g_ctl.scratch || !mask) {
    DrawBitmap(dc, x, y, w, h, image, 0, 0, SRCCOPY);
    return;
  }
  if (w > kScratchSide) w = kScratchSide;
  if (h > kScratchSide) h = kScratchSide;
  HDC scratch = CreateMemoryDc(dc);
  HDC source = CreateMemoryDc(dc);
  if (scratch && source) {
    HGDIOBJ old_scratch = SelectObject(scratch, g_ctl.scratch);
    BitBlt(scratch, 0, 0, w, h, dc, x, y, SRCCOPY);
    HGDIOBJ old_source = SelectObject(source, mask);
    BitBlt(scratch, 0, 0, w, h, source, 0, 0, SRCAND);
    SelectObject(source, image);
    BitBlt(scratch, 0, 0, w, h, source, 0, 0, SRCPAINT);
    BitBlt(dc, x, y, w, h, scratch, 0, 0, SRCCOPY);
    SelectObject(source, old_source);
    SelectObject(scratch, old_scratch);
  }
  DeleteMemoryDc(&source);
  DeleteMemoryDc(&scratch);
}

// ---------------------------------------------------------------------------
// Marks.

void DrawDisabledCross(HDC dc, int left, int top, int right, int bottom) {
  const int r = right - 1;
  const int b = bottom - 1;
  const int width = right - left;
  const int height = bottom - top;
  int t = ((width < height ? width : height) - 1) / 5;
  if (t < 3) t = 3;
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteBlack));
  HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(kPaletteWhite));
  const POINT first[4] = {{left + t, top}, {r, b - t}, {r - t, b}, {left, top + t}};
  const POINT second[4] = {{left, b - t}, {r - t, top}, {r, top + t}, {left + t, b}};
  Polygon(dc, first, 4);
  Polygon(dc, second, 4);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
}

void DrawFocusMark(HDC dc, int x, int y) {
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteBlack));
  HGDIOBJ old_brush = SelectObject(dc, GetLibraryBrush(kPaletteOrange));
  const POINT triangle[3] = {{x, y}, {x + 5, y}, {x, y + 5}};
  Polygon(dc, triangle, 3);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
}

void DrawReadoutText(HDC dc, RECT box, const char* text, COLORREF color, bool bold) {
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_color = SetTextColor(dc, color);
  // The largest of the read-out fonts the text fits in, the smallest else.
  static const int kReadoutFonts[] = {kFont14, kFont12, kFont10};
  static const int kBoldReadoutFonts[] = {kFont14Bold, kFont12Bold, kFont10Bold};
  HGDIOBJ old_font = nullptr;
  const int room = box.right - box.left - 2;
  for (int font : bold ? kBoldReadoutFonts : kReadoutFonts) {
    HGDIOBJ previous = SelectObject(dc, GetLibraryFont(font));
    if (!old_font) old_font = previous;
    SIZE size = {0, 0};
    if (GetTextExtentPoint32A(dc, text, lstrlenA(text), &size) && size.cx <= room) break;
  }
  DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old_font);
  SetTextColor(dc, old_color);
  SetBkMode(dc, old_mode);
}

// ---------------------------------------------------------------------------
// Bitmaps and backgrounds.

void DrawBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int sx, int sy, DWORD rop) {
  if (!bitmap) return;
  HDC memory = CreateMemoryDc(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, x, y, w, h, memory, sx, sy, rop);
  SelectObject(memory, old);
  DeleteMemoryDc(&memory);
}

void TileBackground(HDC dc, const RECT* area) {
  HBITMAP tile = GetStockBitmap(12);
  int w = 0, h = 0;
  GetBitmapSize(tile, &w, &h);
  if (w <= 0 || h <= 0) {
    FillRect(dc, area, GetLibraryBrush(kPaletteGrey180));
    return;
  }
  HDC memory = CreateMemoryDc(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, tile);
  // Tiles sit on a grid anchored at the client origin, so a partial repaint
  // matches what is already on the screen.
  const int first_x = area->left - ((area->left % w) + w) % w;
  const int first_y = area->top - ((area->top % h) + h) % h;
  for (int y = first_y; y < area->bottom; y += h) {
    for (int x = first_x; x < area->right; x += w) BitBlt(dc, x, y, w, h, memory, 0, 0, SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteMemoryDc(&memory);
}

void DrawSunkenBox(HDC dc, int left, int top, int right, int bottom, int fill) {
  RECT inside = {left, top, right, bottom};
  FillRect(dc, &inside, GetLibraryBrush(fill & 15));
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteGrey64));
  MoveToEx(dc, left, bottom - 1, nullptr);
  LineTo(dc, left, top);
  LineTo(dc, right, top);
  SelectObject(dc, GetLibraryPen(kPaletteWhite));
  MoveToEx(dc, right - 1, top + 1, nullptr);
  LineTo(dc, right - 1, bottom - 1);
  LineTo(dc, left, bottom - 1);
  SelectObject(dc, old_pen);
}

// ---------------------------------------------------------------------------
// Lines.

void DrawEmbossedPolyline(HDC dc, int pen, const POINT* points, int count) {
  if (count < 2 || count > 16) return;
  POINT shifted[16];
  for (int i = 0; i < count; ++i) shifted[i] = {points[i].x + 1, points[i].y + 1};
  HGDIOBJ old_pen = SelectObject(dc, GetLibraryPen(kPaletteWhite));
  Polyline(dc, shifted, count);
  SelectObject(dc, GetLibraryPen(pen & 15));
  Polyline(dc, points, count);
  SelectObject(dc, old_pen);
}

void DrawEmbossedLine(HDC dc, int pen, int x1, int y1, int x2, int y2) {
  const POINT points[2] = {{x1, y1}, {x2, y2}};
  DrawEmbossedPolyline(dc, pen, points, 2);
}

// ---------------------------------------------------------------------------
// Text styles.

HFONT TextStyleFont(uint32_t text_style) {
  int index = static_cast<int>((text_style >> 8) & 0x1F);
  if (index > 15) index = 15;  // five bits, sixteen fonts
  return GetLibraryFont(index);
}

COLORREF TextStyleColor(uint32_t text_style) {
  return GetLibraryColor(static_cast<int>(text_style & 0xF));
}

COLORREF TextStyleBackground(uint32_t text_style) {
  return GetLibraryColor(static_cast<int>((text_style >> 4) & 0xF));
}

HBRUSH ColorFieldByTextStyle(HDC dc, uint32_t text_style) {
  SetTextColor(dc, TextStyleColor(text_style));
  SetBkColor(dc, TextStyleBackground(text_style));
  return GetLibraryBrush(static_cast<int>((text_style >> 4) & 0xF));  // the background
}

void DrawStyledText(HDC dc, uint32_t text_style, int x, int y, const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  HGDIOBJ old_font = SelectObject(dc, TextStyleFont(text_style));
  const COLORREF old_color = GetTextColor(dc);
  const COLORREF old_background = GetBkColor(dc);
  int old_mode;
  if (text_style & kTextStyleEmbossed) {
    old_mode = SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetLibraryColor(kPaletteWhite));
    TextOutA(dc, x + 1, y + 1, text, length);
  } else {
    old_mode = SetBkMode(dc, OPAQUE);
    SetBkColor(dc, TextStyleBackground(text_style));
  }
  SetTextColor(dc, TextStyleColor(text_style));
  TextOutA(dc, x, y, text, length);
  SetBkMode(dc, old_mode);
  SetBkColor(dc, old_background);
  SetTextColor(dc, old_color);
  SelectObject(dc, old_font);
}
