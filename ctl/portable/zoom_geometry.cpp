// The zoomable view's arithmetic: see zoom_geometry.h.
//
// The canvas is at most 10^6 logical pixels a side and the zoom at most
// 200 %, so every position fits a float's exact integers closely enough and
// an int32 comfortably; Truncate still guards the conversion so that no
// input, however odd, reaches an undefined float-to-int cast.
#include "ctl/portable/zoom_geometry.h"

#include <algorithm>

static int32_t Truncate(float value) {
  if (!(value > -2.0e9f)) return value < 0.0f ? -2000000000 : 0;  // NaN gives 0
  if (value > 2.0e9f) return 2000000000;
  return static_cast<int32_t>(value);
}

static int32_t Extent(const ZoomGeometry* z, int axis) { return axis ? z->extent_y : z->extent_x; }

static int32_t Scroll(const ZoomGeometry* z, int axis) { return axis ? z->scroll_y : z->scroll_x; }

void InitZoomGeometry(ZoomGeometry* z, int32_t width, int32_t height) {
  z->width = std::clamp<int32_t>(width, 1, kMaxZoomCanvas);
  z->height = std::clamp<int32_t>(height, 1, kMaxZoomCanvas);
  z->extent_x = z->width;
  z->extent_y = z->height;
  z->scroll_x = 0;
  z->scroll_y = 0;
  z->zoom = 100.0f;
  z->inverse = 1.0f;
  z->factor = 1.0f;
  z->line_x = 4;
  z->line_y = 4;
}

int32_t LogicalScroll(const ZoomGeometry* z, int axis) {
  return Truncate(static_cast<float>(Scroll(z, axis)) * z->inverse);
}

int32_t DeviceForLogical(const ZoomGeometry* z, int axis, int32_t logical) {
  return std::clamp<int32_t>(Truncate(static_cast<float>(logical) * z->factor), 0, Extent(z, axis));
}

bool SetZoomPercent(ZoomGeometry* z, float percent) {
  if (!(percent >= kZoomMinimum)) percent = kZoomMinimum;  // NaN too
  if (percent > kZoomMaximum) percent = kZoomMaximum;
  if (percent == z->zoom) return false;
  const int32_t logical_x = LogicalScroll(z, 0);
  const int32_t logical_y = LogicalScroll(z, 1);
  z->zoom = percent;
  z->factor = percent * 0.01f;
  z->inverse = 100.0f / percent;
  z->extent_x = Truncate(z->factor * static_cast<float>(z->width));
  z->extent_y = Truncate(z->factor * static_cast<float>(z->height));
  z->scroll_x = DeviceForLogical(z, 0, logical_x);
  z->scroll_y = DeviceForLogical(z, 1, logical_y);
  return true;
}

int32_t ZoomScrollTarget(const ZoomGeometry* z, int axis, int code, int thumb, int32_t client) {
  const int32_t position = Scroll(z, axis);
  const int32_t line = axis ? z->line_y : z->line_x;
  const int32_t page = std::clamp<int32_t>(client, 0, 1 << 24);
  int32_t target = position;
  switch (code) {
    case 0: target = position - line; break;
    case 1: target = position + line; break;
    case 2: target = position - page; break;
    case 3: target = position + page; break;
    case 4:
    case 5: target = Truncate(static_cast<float>(thumb & 0xFFFF) * z->factor); break;
    case 6: target = 0; break;
    case 7: target = axis ? z->height : z->width; break;
    default: break;
  }
  return std::clamp<int32_t>(target, 0, Extent(z, axis));
}

ListRect VisibleLogicalRect(const ZoomGeometry* z, int32_t client_width, int32_t client_height) {
  ListRect r;
  r.left = LogicalScroll(z, 0);
  r.top = LogicalScroll(z, 1);
  r.right = r.left + Truncate(z->inverse * static_cast<float>(std::clamp<int32_t>(client_width, 0, 1 << 24) + 1));
  r.bottom =
      r.top + Truncate(z->inverse * static_cast<float>(std::clamp<int32_t>(client_height, 0, 1 << 24) + 1));
  return r;
}

void ClientToLogical(const ZoomGeometry* z, int x, int y, int32_t* lx, int32_t* ly) {
  *lx = Truncate(static_cast<float>(z->scroll_x + std::clamp<int32_t>(x, -(1 << 24), 1 << 24)) * z->inverse);
  *ly = Truncate(static_cast<float>(z->scroll_y + std::clamp<int32_t>(y, -(1 << 24), 1 << 24)) * z->inverse);
}

int32_t PanTarget(const ZoomGeometry* z, int axis, int delta) {
  const int32_t moved =
      Truncate(static_cast<float>(std::clamp<int32_t>(delta, -(1 << 24), 1 << 24)) * z->inverse);
  return std::clamp<int32_t>(LogicalScroll(z, axis) - moved, 0, Extent(z, axis));
}
