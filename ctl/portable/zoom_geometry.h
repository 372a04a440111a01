// The zoomable view's arithmetic, without Windows: a logical canvas of
// W × H drawn at a zoom of 50 … 200 percent into a device extent of
// EX × EY pixels, scrolled by a device position (sx, sy). Scroll-bar
// positions and hit tests are logical (device × 100 ÷ zoom, truncated).
//
// The zoom and its two factors are 32-bit floats as the view has always
// kept them, so positions truncate the same way everywhere.
#pragma once

#include <cstdint>

#include "ctl/portable/list_geometry.h"

constexpr int32_t kMaxZoomCanvas = 1000000;  // logical pixels per side
constexpr float kZoomMinimum = 50.0f;
constexpr float kZoomMaximum = 200.0f;

struct ZoomGeometry {
  int32_t width, height;       // logical W, H (1 … kMaxZoomCanvas)
  int32_t extent_x, extent_y;  // device EX, EY
  int32_t scroll_x, scroll_y;  // device sx, sy (0 … EX, 0 … EY)
  float zoom;                  // percent
  float inverse;               // 100 ÷ zoom
  float factor;                // zoom × 0.01
  int32_t line_x, line_y;      // pixels per line step
};

// A canvas of W × H (limited to 1 … kMaxZoomCanvas) at 100 %, scrolled to 0.
void InitZoomGeometry(ZoomGeometry* z, int32_t width, int32_t height);

// Sets the zoom (limited to 50 … 200), keeping the logical scroll position.
// Returns false when it was already that zoom.
bool SetZoomPercent(ZoomGeometry* z, float percent);

// The logical scroll position of an axis (0: x, 1: y).
int32_t LogicalScroll(const ZoomGeometry* z, int axis);

// The device position a scroll-bar request leads to on an axis: `code` as
// the system numbers them (0 line up … 7 bottom), `thumb` the 16-bit thumb
// position, `client` the client width or height. Limited to 0 … extent;
// unknown codes keep the position.
int32_t ZoomScrollTarget(const ZoomGeometry* z, int axis, int code, int thumb, int32_t client);

// The device position for a logical position on an axis (thumb rule).
int32_t DeviceForLogical(const ZoomGeometry* z, int axis, int32_t logical);

// The logical rectangle a client area of cw × ch shows.
ListRect VisibleLogicalRect(const ZoomGeometry* z, int32_t client_width, int32_t client_height);

// The logical point under client point (x, y).
void ClientToLogical(const ZoomGeometry* z, int x, int y, int32_t* lx, int32_t* ly);

// A pan by (dx, dy) client pixels on an axis: the new logical scroll
// position, limited to 0 … extent.
int32_t PanTarget(const ZoomGeometry* z, int axis, int delta);
