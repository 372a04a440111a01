// The list controls' geometry and the zoomable view's arithmetic: clamped
// creation records, panel layout and order, selection moves, the line
// list's scroll bar, grid drags, zoom steps, scrolling, visible rectangle
// and pan.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ctl/portable/list_geometry.h"
#include "ctl/portable/zoom_geometry.h"

namespace {

// A 400 × 200 list, 4 panels of 100 × (header 20 + lines of 16), 10 pixels
// apart, margin 30, 50 lines.
StackedListShape Shape() { return {400, 200, 50, 30, 20, 100, 16, 4, 10}; }

TEST(StackedLayout, CreationRecordsAreClampedToSoundValues) {
  const struct {
    int32_t panels, line_height, header, lines;
    int32_t want_panels, want_line_height, want_visible;
  } cases[] = {
      {4, 16, 20, 50, 4, 16, (200 - 30 - 20) / 16},
      {20, 16, 20, 50, 16, 16, (200 - 150 - 20) / 16},  // 20 panels keep 16
      {1, 16, 20, 50, 1, 16, (200 - 20) / 16},
      {0, 16, 20, 50, 1, 16, (200 - 20) / 16},   // no panel: one
      {-3, 16, 20, 50, 1, 16, (200 - 20) / 16},  // negative: one
      {4, 0, 20, 50, 4, 1, 200 - 30 - 20},       // line height 0: 1
      {4, -5, 20, 50, 4, 1, 200 - 30 - 20},
      {4, 16, 500, 50, 4, 16, 0},  // header taller than the control: no lines
      {4, 16, 20, -7, 4, 16, (200 - 30 - 20) / 16},
  };
  for (const auto& c : cases) {
    StackedListShape shape = Shape();
    shape.panel_count = c.panels;
    shape.line_height = c.line_height;
    shape.header_height = c.header;
    shape.line_count = c.lines;
    StackedLayout layout;
    SetupStackedLayout(&layout, &shape);
    EXPECT_EQ(layout.shape.panel_count, c.want_panels) << c.panels;
    EXPECT_EQ(layout.shape.line_height, c.want_line_height) << c.line_height;
    EXPECT_EQ(layout.visible_lines, c.want_visible) << c.panels << " " << c.header;
    EXPECT_GE(layout.shape.line_count, 0);
    EXPECT_EQ(layout.first_line, 1);
    EXPECT_EQ(layout.selected_line, 1);
    for (int i = 0; i < layout.shape.panel_count; ++i) {
      EXPECT_EQ(layout.slots[i].panel, layout.shape.panel_count - i);  // panel 1 in front
    }
  }
}

TEST(StackedLayout, DefaultPositionsRectanglesAndHits) {
  StackedListShape shape = Shape();
  StackedLayout layout;
  SetupStackedLayout(&layout, &shape);
  // step = (400 - 100 - 30) / 3 = 90
  for (int i = 0; i < 4; ++i) EXPECT_EQ(layout.slots[i].x, 90 * i);
  const ListRect header = HeaderRect(&layout, 2);
  EXPECT_EQ(header.left, 30 + 180);
  EXPECT_EQ(header.top, 20);
  EXPECT_EQ(header.bottom, 40);
  const ListRect line = PanelLineRect(&layout, 3, 2);
  EXPECT_EQ(line.top, 30 + 20 + 32);
  EXPECT_EQ(line.bottom, line.top + 16);
  EXPECT_EQ(RowHeaderRect(&layout, 1).right, 30);
  EXPECT_EQ(RowHeaderRect(&layout, 1).top, 20 + 16);

  const struct {
    int x, y;
    StackedHit hit;
  } hits[] = {
      {35, 5, {0, 0}},     // the back panel's header
      {35, 37, {0, 2}},    // its second line
      {300, 35, {3, 0}},   // the front header
      {300, 70, {3, 2}},   // front line 2 (row 1)
      {10, 60, {-1, -1}},  // row headers are no panel
      {135, 45, {1, 1}},   // panel 3 shows where panel 2 does not reach
      {230, 45, {2, 1}},   // but panel 2 covers it further right
  };
  for (const auto& h : hits) {
    const StackedHit got = HitTestStacked(&layout, h.x, h.y);
    EXPECT_EQ(got.slot, h.hit.slot) << h.x << "," << h.y;
    EXPECT_EQ(got.line, h.hit.line) << h.x << "," << h.y;
  }

  shape.panel_count = 1;  // one panel: no division by count - 1
  SetupStackedLayout(&layout, &shape);
  EXPECT_EQ(layout.slots[0].x, 0);
  shape.line_count = 2;  // lines beyond the count hit nothing
  SetupStackedLayout(&layout, &shape);
  EXPECT_EQ(HitTestStacked(&layout, 50, 20 + 16 * 2 + 1).line, -1);
}

TEST(StackedLayout, OrderAndOutlineBounds) {
  StackedListShape shape = Shape();
  StackedLayout layout;
  SetupStackedLayout(&layout, &shape);
  EXPECT_TRUE(BringSlotToFront(&layout, 1));  // panel 3 at x 90 to the front
  const int32_t order[] = {4, 2, 1, 3};
  const int32_t xs[] = {0, 180, 270, 90};  // each panel keeps its position
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(layout.slots[i].panel, order[i]);
    EXPECT_EQ(layout.slots[i].x, xs[i]);
  }
  EXPECT_FALSE(BringSlotToFront(&layout, 3));
  EXPECT_FALSE(BringSlotToFront(&layout, -1));
  EXPECT_EQ(SlotOfPanel(&layout, 2), 1);
  EXPECT_EQ(SlotOfPanel(&layout, 9), -1);

  EXPECT_EQ(OutlineLeft(&layout, 200, 10), 190);
  EXPECT_EQ(OutlineLeft(&layout, 5, 10), 30);     // not left of the margin
  EXPECT_EQ(OutlineLeft(&layout, 900, 10), 300);  // nor past the right edge
  shape.width = 50;                               // narrower than a panel
  SetupStackedLayout(&layout, &shape);
  EXPECT_EQ(OutlineLeft(&layout, 900, 10), 30);
}

TEST(ListMoves, KeysAndScrollingIntoView) {
  const struct {
    int32_t line;
    ListMove move;
    int32_t visible, count, want;
  } moves[] = {
      {5, kMoveLineUp, 8, 50, 4},    {1, kMoveLineUp, 8, 50, 1}, {50, kMoveLineDown, 8, 50, 50},
      {5, kMovePageDown, 8, 50, 12}, {5, kMovePageUp, 8, 50, 1}, {5, kMovePageDown, 1, 50, 6},
      {5, kMoveHome, 8, 50, 1},      {5, kMoveEnd, 8, 50, 50},   {3, kMoveLineDown, 8, 0, 1},
  };
  for (const auto& m : moves) {
    EXPECT_EQ(MovedLine(m.line, m.move, m.visible, m.count), m.want) << m.line << " " << m.move;
  }
  EXPECT_EQ(FirstLineShowing(10, 12, 8), 10);
  EXPECT_EQ(FirstLineShowing(10, 20, 8), 13);
  EXPECT_EQ(FirstLineShowing(10, 4, 8), 4);
  EXPECT_EQ(FirstLineShowing(10, 20, 0), 20);
}

TEST(LineListScroll, PositionsAndRequests) {
  EXPECT_EQ(LineScrollPosition(1, 1), 0);  // fewer than 3 lines: 0
  EXPECT_EQ(LineScrollPosition(2, 2), 0);
  EXPECT_EQ(LineScrollPosition(1, 101), 0);
  EXPECT_EQ(LineScrollPosition(51, 101), 500);
  EXPECT_EQ(LineScrollPosition(101, 101), 1000);
  const struct {
    int32_t first;
    int code, thumb;
    int32_t want;
  } requests[] = {
      {10, 0, 0, 9},  {1, 0, 0, 1},     {10, 1, 0, 11},     {10, 2, 0, 2},
      {10, 3, 0, 18}, {10, 4, 500, 51}, {10, 5, 1000, 101}, {10, 5, 65535, 101},
      {10, 6, 0, 1},  {10, 7, 0, 93},   {10, 8, 0, 10},  // end of scroll: nothing
  };
  for (const auto& r : requests) {
    EXPECT_EQ(LineScrollTarget(r.first, r.code, r.thumb, 8, 101), r.want) << r.code;
  }
  EXPECT_EQ(LineScrollTarget(1, 1, 0, 8, 1), 1);  // one line stays at 1
  EXPECT_EQ(LineScrollTarget(1, 7, 0, 8, 0), 1);
}

TEST(GridDrag, FactorsTypesAndClamping) {
  const struct {
    int type;
    float value, factor;
    int movement;
    float want;
  } drags[] = {
      {1, 5.0f, 0.5f, -4, 7.0f},                                // up raises
      {2, 5.0f, 0.5f, 4, 3.0f},                                 // down lowers
      {1, 5.0f, 0.5f, -400, 10.0f},                             // clamped to the maximum
      {1, 5.0f, 0.5f, 400, 0.0f},                               // and the minimum
      {4, 2.0f, 2.0f, -2, 8.0f},                                // multiplied by factor^-movement
      {4, 2.0f, 2.0f, 1, 1.0f},     {3, 1.0f, 1.0f, -4, 1.0f},  // toggles do not move
      {4, 0.0f, 2.0f, -3000, 0.0f},  // 0 × inf is no number: the value stays
  };
  for (const auto& d : drags) {
    EXPECT_FLOAT_EQ(DraggedGridValue(d.type, d.value, d.factor, d.movement, 0.0f, 10.0f), d.want)
        << d.type << " " << d.movement;
  }
  EXPECT_EQ(ClampGridValue(15.0f, 10.0f, 0.0f), 10.0f);  // a range given backwards
  EXPECT_EQ(ClampGridValue(std::numeric_limits<float>::quiet_NaN(), 1.0f, 2.0f), 1.0f);
}

TEST(ZoomGeometry, ZoomKeepsTheLogicalPosition) {
  ZoomGeometry z;
  InitZoomGeometry(&z, 1000, 600);
  EXPECT_EQ(z.extent_x, 1000);
  z.scroll_x = 300;
  z.scroll_y = 100;
  EXPECT_FALSE(SetZoomPercent(&z, 100.0f));
  EXPECT_TRUE(SetZoomPercent(&z, 200.0f));
  EXPECT_EQ(z.extent_x, 2000);
  EXPECT_EQ(z.extent_y, 1200);
  EXPECT_EQ(z.scroll_x, 600);
  EXPECT_EQ(LogicalScroll(&z, 0), 300);
  EXPECT_TRUE(SetZoomPercent(&z, 50.0f));
  EXPECT_EQ(z.extent_x, 500);
  EXPECT_EQ(z.scroll_x, 150);
  EXPECT_EQ(z.scroll_y, 50);
  EXPECT_FALSE(SetZoomPercent(&z, 10.0f));  // limited to 50 … 200: it is at 50 already
  EXPECT_EQ(z.zoom, 50.0f);
  EXPECT_TRUE(SetZoomPercent(&z, 1.0e9f));
  EXPECT_EQ(z.zoom, 200.0f);
  EXPECT_TRUE(SetZoomPercent(&z, std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(z.zoom, 50.0f);

  InitZoomGeometry(&z, 0, -5);  // a canvas of nothing is one pixel
  EXPECT_EQ(z.width, 1);
  EXPECT_EQ(z.height, 1);
  InitZoomGeometry(&z, 2000000000, 2000000000);
  EXPECT_EQ(z.width, kMaxZoomCanvas);
  EXPECT_TRUE(SetZoomPercent(&z, 200.0f));
  EXPECT_EQ(z.extent_x, 2 * kMaxZoomCanvas);
}

TEST(ZoomGeometry, ScrollRequestsVisibleRectangleAndPan) {
  ZoomGeometry z;
  InitZoomGeometry(&z, 1000, 600);
  SetZoomPercent(&z, 150.0f);  // EX 1500, EY 900
  z.scroll_x = 100;
  const struct {
    int code, thumb;
    int32_t want;
  } requests[] = {
      {0, 0, 96},      {1, 0, 104}, {2, 0, 0},    {3, 0, 300}, {4, 400, 600},
      {5, 2000, 1500}, {6, 0, 0},   {7, 0, 1000},  // the end is the logical size, limited like
                                                   // every position
      {8, 0, 100},
  };
  for (const auto& r : requests) {
    EXPECT_EQ(ZoomScrollTarget(&z, 0, r.code, r.thumb, 200), r.want) << r.code;
  }
  z.scroll_x = 150;
  z.scroll_y = 30;
  const ListRect visible = VisibleLogicalRect(&z, 300, 200);
  EXPECT_EQ(visible.left, 100);
  EXPECT_EQ(visible.top, 20);
  EXPECT_EQ(visible.right, 100 + 200);  // trunc(301 / 1.5)
  EXPECT_EQ(visible.bottom, 20 + 134);  // trunc(201 / 1.5)
  int32_t lx, ly;
  ClientToLogical(&z, 30, 15, &lx, &ly);
  EXPECT_EQ(lx, 120);
  EXPECT_EQ(ly, 30);
  EXPECT_EQ(PanTarget(&z, 0, 30), 80);  // dragging right shows what was left
  EXPECT_EQ(PanTarget(&z, 0, -30), 120);
  EXPECT_EQ(PanTarget(&z, 1, 300), 0);  // not before the start
  EXPECT_EQ(DeviceForLogical(&z, 0, 80), 120);
  EXPECT_EQ(DeviceForLogical(&z, 0, 5000), 1500);
}

}  // namespace
