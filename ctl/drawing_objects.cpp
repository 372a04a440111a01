// The library's shared drawing objects: the palette and its brushes and
// pens, the dash-dot pen, the checker brush, the sixteen fonts and the stock
// bitmaps; and the bookkeeping that counts every GDI object and device
// context the library makes, so a test sees any it leaves behind.
#include "ctl/library_state.h"

static const COLORREF kPaletteColors[16] = {
    RGB(0, 0, 0),       RGB(204, 40, 20),   RGB(252, 60, 30),   RGB(240, 235, 54),
    RGB(6, 28, 157),    RGB(15, 95, 226),   RGB(140, 147, 228), RGB(3, 107, 122),
    RGB(36, 167, 49),   RGB(64, 64, 64),    RGB(84, 84, 84),    RGB(110, 110, 110),
    RGB(130, 130, 130), RGB(180, 180, 180), RGB(230, 230, 230), RGB(255, 255, 255)};

static const struct {
  int height;
  int weight;
} kFonts[16] = {{10, 400}, {10, 700}, {12, 400}, {12, 700}, {14, 400}, {14, 700},
                {16, 400}, {16, 700}, {18, 400}, {18, 700}, {20, 400}, {20, 700},
                {26, 800}, {26, 800}, {38, 400}, {38, 800}};

void CreateDrawingObjects() {
  for (int i = 0; i < kStockBitmapCount; ++i) {
    g_ctl.stock[i] = TrackGdi(static_cast<HBITMAP>(LoadImageA(
        g_ctl.instance, MAKEINTRESOURCEA(kStockBitmapFirstId + i), IMAGE_BITMAP, 0, 0, 0)));
  }
  HDC screen = BorrowDc(nullptr);
  for (int i = 0; i < 16; ++i) g_ctl.palette[i] = GetNearestColor(screen, kPaletteColors[i]);
  ReturnDc(nullptr, &screen);
  for (int i = 0; i < 16; ++i) g_ctl.brushes[i] = TrackGdi(CreateSolidBrush(g_ctl.palette[i]));
  for (int i = 0; i < 16; ++i) g_ctl.pens[i] = TrackGdi(CreatePen(PS_SOLID, 0, g_ctl.palette[i]));
  g_ctl.dash_dot_pen = TrackGdi(CreatePen(PS_DASHDOT, 0, g_ctl.palette[0]));

  // 8 × 8 checker: colour 15 where row + column is even, black elsewhere.
  HDC memory = CreateMemoryDc(nullptr);
  g_ctl.checker_bitmap = TrackGdi(CreateCompatibleBitmap(memory, 8, 8));
  if (memory && g_ctl.checker_bitmap) {
    HGDIOBJ old = SelectObject(memory, g_ctl.checker_bitmap);
    for (int row = 0; row < 8; ++row) {
      for (int column = 0; column < 8; ++column) {
        SetPixel(memory, column, row, (row + column) % 2 == 0 ? g_ctl.palette[15] : RGB(0, 0, 0));
      }
    }
    SelectObject(memory, old);
  }
  DeleteMemoryDc(&memory);
  g_ctl.checker_brush = TrackGdi(CreatePatternBrush(g_ctl.checker_bitmap));

  for (int i = 0; i < 16; ++i) {
    g_ctl.fonts[i] = TrackGdi(
        CreateFontA(kFonts[i].height, 0, 0, 0, kFonts[i].weight, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"));
  }
}

void DeleteDrawingObjects() {
  for (HBITMAP& b : g_ctl.stock) ReleaseGdi(&b);
  for (HBRUSH& b : g_ctl.brushes) ReleaseGdi(&b);
  for (HPEN& p : g_ctl.pens) ReleaseGdi(&p);
  for (HFONT& f : g_ctl.fonts) ReleaseGdi(&f);
  ReleaseGdi(&g_ctl.dash_dot_pen);
  ReleaseGdi(&g_ctl.checker_brush);
  ReleaseGdi(&g_ctl.checker_bitmap);
  for (int i = 0; i < g_ctl.mask_count; ++i) ReleaseGdi(&g_ctl.masks[i].mask);
  g_ctl.mask_count = 0;
  ReleaseGdi(&g_ctl.scratch);
}

// ---------------------------------------------------------------------------
// Device contexts.

HDC CreateMemoryDc(HDC like) {
  HDC dc = CreateCompatibleDC(like);
  if (dc) g_ctl.gdi_objects += 1;
  return dc;
}

void DeleteMemoryDc(HDC* dc) {
  if (*dc && DeleteDC(*dc)) g_ctl.gdi_objects -= 1;
  *dc = nullptr;
}

HDC BorrowDc(HWND window) {
  HDC dc = GetDC(window);
  if (dc) g_ctl.gdi_objects += 1;
  return dc;
}

void ReturnDc(HWND window, HDC* dc) {
  if (*dc && ReleaseDC(window, *dc)) g_ctl.gdi_objects -= 1;
  *dc = nullptr;
}

// ---------------------------------------------------------------------------
// Accessors.

COLORREF GetLibraryColor(int index) { return g_ctl.palette[index]; }
HBRUSH GetLibraryBrush(int index) { return g_ctl.brushes[index]; }
HPEN GetLibraryPen(int index) { return g_ctl.pens[index]; }
HFONT GetLibraryFont(int index) { return g_ctl.fonts[index]; }
HPEN GetDashDotPen() { return g_ctl.dash_dot_pen; }
HBRUSH GetCheckerBrush() { return g_ctl.checker_brush; }

HBITMAP GetStockBitmap(int index) {
  return index >= 0 && index < kStockBitmapCount ? g_ctl.stock[index] : nullptr;
}

int ControlLibraryGdiObjects() { return g_ctl.gdi_objects; }
