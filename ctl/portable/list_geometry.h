// Geometry of the list controls, without Windows: the stacked panels'
// layout, order and header-drag bounds, the selection moves both lists
// share, the line list's scroll arithmetic and the value grid's drag
// arithmetic. Every function is total: sizes from a creation record are
// clamped first, so no input divides by zero or indexes outside a table.
#pragma once

#include <cstdint>

constexpr int kMaxStackedPanels = 16;

struct ListRect {
  int32_t left, top, right, bottom;
};

// What an owner gives a stacked-panel list (pixels and counts).
struct StackedListShape {
  int32_t width, height;
  int32_t line_count;
  int32_t left_margin;    // row headers live left of it
  int32_t header_height;  // of every panel
  int32_t panel_width;
  int32_t line_height;
  int32_t panel_count;  // 1 … 16
  int32_t panel_step;   // vertical step from one panel to the next
};

// One slot of the panel order, back (0) to front (count - 1).
struct PanelSlot {
  int32_t x;      // horizontal position, without the left margin
  int32_t panel;  // panel number 1 … count
};

struct StackedLayout {
  StackedListShape shape;  // clamped
  int32_t visible_lines;   // 0 or more
  int32_t first_line;      // first visible line, 1 …
  int32_t selected_line;   // 1 …
  PanelSlot slots[kMaxStackedPanels];
};

// Clamps `shape` (at least one panel and at most 16, line height at least 1,
// no negative counts or sizes), computes the visible lines, puts panel
// (count - i) in slot i at its default position, first and selected line 1.
void SetupStackedLayout(StackedLayout* layout, const StackedListShape* shape);

// Spreads the slots evenly: slot i at i × (width - panel width - margin) ÷
// (count - 1); a single panel at 0.
void DefaultPanelPositions(StackedLayout* layout);

inline int32_t FrontSlot(const StackedLayout* layout) { return layout->shape.panel_count - 1; }

// Rectangles in client pixels: a panel (header and visible lines), its
// header, one visible row (0-based) of a panel, one row header.
ListRect PanelRect(const StackedLayout* layout, int slot);
ListRect HeaderRect(const StackedLayout* layout, int slot);
ListRect PanelLineRect(const StackedLayout* layout, int slot, int row);
ListRect RowHeaderRect(const StackedLayout* layout, int row);

// What a point hits: the slot (-1: no panel) and the line there (0: the
// header, -1: no line), front slot first.
struct StackedHit {
  int32_t slot;
  int32_t line;
};
StackedHit HitTestStacked(const StackedLayout* layout, int x, int y);

// Moves the entry of `slot` (panel and position) to the front; the entries
// in front of it move one slot back. Returns false when it was in front.
bool BringSlotToFront(StackedLayout* layout, int slot);

// The slot holding panel `panel`, or -1.
int SlotOfPanel(const StackedLayout* layout, int panel);

// Left edge of the header-drag outline for a pointer at x grabbed at
// `grab` pixels right of the outline's left: kept between the margin and
// the right edge of the control.
int32_t OutlineLeft(const StackedLayout* layout, int x, int grab);

// Selection moves by key.
enum ListMove { kMoveLineUp, kMoveLineDown, kMovePageUp, kMovePageDown, kMoveHome, kMoveEnd };

// The line a move leads to from `line`, within 1 … count (1 when empty).
// A page is visible - 1 lines, at least one.
int32_t MovedLine(int32_t line, ListMove move, int32_t visible, int32_t count);

// The first visible line that shows `line` with the least scrolling.
int32_t FirstLineShowing(int32_t first, int32_t line, int32_t visible);

// Line list scroll bar (range 0 … 1000): the position of `first`.
int32_t LineScrollPosition(int32_t first, int32_t count);

// The first line after a scroll request: `code` is the scroll-bar code
// (0 line up … 7 bottom, as the system numbers them), `thumb` the thumb
// position for codes 4 and 5. Limited to 1 … count; other codes keep it.
int32_t LineScrollTarget(int32_t first, int code, int thumb, int32_t visible, int32_t count);

// Value-grid drag: the value after `movement` pixels downward with the
// button's factor. Types 1 and 2 subtract movement × factor, type 4
// multiplies by factor^-movement, others keep it; limited to the item's
// range (in either order); a result that is not a number keeps the value.
float DraggedGridValue(int type, float value, float factor, int movement, float minimum,
                       float maximum);

// `value` limited to the range (in either order); NaN gives the lower end.
float ClampGridValue(float value, float minimum, float maximum);
