// The zoomable view: a window's scroll bars, mapping mode and pan over a
// logical canvas, for the value grid. The arithmetic is zoom_geometry's;
// this adds the window: scroll-bar positions (always logical), scrolling
// the content, the device context's mapping and the pan's capture.
#pragma once

#include <windows.h>

#include "ctl/portable/zoom_geometry.h"

struct ZoomView {
  HWND window;
  ZoomGeometry geometry;
  int32_t panning;
  int32_t pan_x, pan_y;  // last client point of the pan
};

// A view of W × H over `window` at 100 %: scroll ranges 0 … W and 0 … H on
// the bars the window has.
void InitZoomView(ZoomView* view, HWND window, int32_t width, int32_t height);

// Gives `dc` the view's mapping, so drawing there is in logical units.
void PrepareZoomDC(const ZoomView* view, HDC dc);

// Zooms to `percent` (50 … 200) keeping the logical scroll position, then
// invalidates the whole window with erasing. Nothing when it is the zoom.
void SetViewZoom(ZoomView* view, float percent);

// WM_HSCROLL (axis 0) and WM_VSCROLL (axis 1).
void OnZoomScroll(ZoomView* view, int axis, WPARAM wparam);

// The logical rectangle the client area shows; the logical point under a
// client point.
ListRect ViewVisibleRect(const ZoomView* view);
void ViewClientToLogical(const ZoomView* view, int x, int y, int32_t* lx, int32_t* ly);
// The client rectangle of a logical rectangle.
RECT ViewLogicalToClient(const ZoomView* view, const RECT* logical);

// The pan: the press captures the mouse, moves drag the content along,
// the end lets go. IsViewPanning: presses then go to default processing.
void BeginViewPan(ZoomView* view, int x, int y);
void MoveViewPan(ZoomView* view, int x, int y);
void EndViewPan(ZoomView* view);
inline bool IsViewPanning(const ZoomView* view) { return view->panning != 0; }
