// The zoomable view's window side: see list_zoom_view.h.
//
// Scroll positions are kept in device pixels (they move the content by
// whole pixels) and shown on the scroll bars in logical units (the bars'
// ranges are the logical size, fixed at creation), so a zoom never has to
// touch the ranges.
#include "ctl/list_zoom_view.h"

#include "ctl/library_state.h"

static bool HasBar(HWND window, int axis) {
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  return (style & (axis ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

static void ShowPosition(const ZoomView* view, int axis) {
  if (!HasBar(view->window, axis)) return;
  SetScrollPos(view->window, axis ? SB_VERT : SB_HORZ, LogicalScroll(&view->geometry, axis), TRUE);
}

void InitZoomView(ZoomView* view, HWND window, int32_t width, int32_t height) {
  view->window = window;
  InitZoomGeometry(&view->geometry, width, height);
  view->panning = 0;
  view->pan_x = view->pan_y = 0;
  if (HasBar(window, 0)) SetScrollRange(window, SB_HORZ, 0, view->geometry.width, FALSE);
  if (HasBar(window, 1)) SetScrollRange(window, SB_VERT, 0, view->geometry.height, FALSE);
}

void PrepareZoomDC(const ZoomView* view, HDC dc) {
  const ZoomGeometry& z = view->geometry;
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, z.width, z.height, nullptr);
  SetViewportExtEx(dc, z.extent_x, z.extent_y, nullptr);
  SetViewportOrgEx(dc, -z.scroll_x, -z.scroll_y, nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
}

void SetViewZoom(ZoomView* view, float percent) {
  if (!SetZoomPercent(&view->geometry, percent)) return;
  ShowPosition(view, 0);
  ShowPosition(view, 1);
  InvalidateRect(view->window, nullptr, TRUE);
}

// Moves an axis to device position `target` (already limited) and the
// content with it.
static void ScrollAxis(ZoomView* view, int axis, int32_t target) {
  int32_t* position = axis ? &view->geometry.scroll_y : &view->geometry.scroll_x;
  if (target == *position) return;
  const int32_t by = *position - target;
  *position = target;
  ShowPosition(view, axis);
  ScrollWindowEx(view->window, axis ? 0 : by, axis ? by : 0, nullptr, nullptr, nullptr, nullptr,
                 SW_INVALIDATE);
}

void OnZoomScroll(ZoomView* view, int axis, WPARAM wparam) {
  RECT client;
  GetClientRect(view->window, &client);
  const int32_t extent = axis ? client.bottom : client.right;
  ScrollAxis(view, axis,
             ZoomScrollTarget(&view->geometry, axis, LOWORD(wparam), HIWORD(wparam), extent));
}

ListRect ViewVisibleRect(const ZoomView* view) {
  RECT client;
  GetClientRect(view->window, &client);
  return VisibleLogicalRect(&view->geometry, client.right, client.bottom);
}

void ViewClientToLogical(const ZoomView* view, int x, int y, int32_t* lx, int32_t* ly) {
  ClientToLogical(&view->geometry, x, y, lx, ly);
}

RECT ViewLogicalToClient(const ZoomView* view, const RECT* logical) {
  HDC dc = BorrowDc(view->window);
  RECT r = *logical;
  if (dc) {
    PrepareZoomDC(view, dc);
    LPtoDP(dc, reinterpret_cast<POINT*>(&r), 2);
    ReturnDc(view->window, &dc);
  }
  return r;
}

void BeginViewPan(ZoomView* view, int x, int y) {
  view->pan_x = x;
  view->pan_y = y;
  view->panning = 1;
  SetCapture(view->window);
}

void MoveViewPan(ZoomView* view, int x, int y) {
  if (!view->panning) return;
  const int dx = x - view->pan_x, dy = y - view->pan_y;
  view->pan_x = x;
  view->pan_y = y;
  for (int axis = 0; axis < 2; ++axis) {
    const int32_t logical = PanTarget(&view->geometry, axis, axis ? dy : dx);
    if (logical != LogicalScroll(&view->geometry, axis)) {
      ScrollAxis(view, axis, DeviceForLogical(&view->geometry, axis, logical));
    }
  }
}

void EndViewPan(ZoomView* view) {
  if (!view->panning) return;
  view->panning = 0;  // first: releasing the capture comes back as WM_CAPTURECHANGED
  if (GetCapture() == view->window) ReleaseCapture();
}
