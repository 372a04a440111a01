// List-control geometry: see list_geometry.h.
//
// Sizes are limited to what a window can be (32767 pixels) and line counts
// to 2^28 before any arithmetic, so every product below fits in 32 bits;
// the line list's scroll arithmetic runs in 64 bits all the same because
// its thumb position comes straight from a message.
#include "ctl/portable/list_geometry.h"

#include <algorithm>
#include <cmath>

constexpr int32_t kMaxPixels = 32767;
constexpr int32_t kMaxLines = 1 << 28;

void DefaultPanelPositions(StackedLayout* layout) {
  const StackedListShape& s = layout->shape;
  // Integer steps: the last panel may stop a few pixels short of the edge.
  const int32_t step =
      s.panel_count > 1 ? (s.width - s.panel_width - s.left_margin) / (s.panel_count - 1) : 0;
  for (int i = 0; i < s.panel_count; ++i) layout->slots[i].x = i * step;
}

void SetupStackedLayout(StackedLayout* layout, const StackedListShape* shape) {
  StackedListShape s = *shape;
  s.width = std::clamp<int32_t>(s.width, 0, kMaxPixels);
  s.height = std::clamp<int32_t>(s.height, 0, kMaxPixels);
  s.line_count = std::clamp<int32_t>(s.line_count, 0, kMaxLines);
  s.left_margin = std::clamp<int32_t>(s.left_margin, 0, kMaxPixels);
  s.header_height = std::clamp<int32_t>(s.header_height, 0, kMaxPixels);
  s.panel_width = std::clamp<int32_t>(s.panel_width, 0, kMaxPixels);
  s.line_height = std::clamp<int32_t>(s.line_height, 1, kMaxPixels);
  s.panel_count = std::clamp<int32_t>(s.panel_count, 1, kMaxStackedPanels);
  s.panel_step = std::clamp<int32_t>(s.panel_step, 0, kMaxPixels);
  layout->shape = s;
  const int32_t room = s.height - (s.panel_count - 1) * s.panel_step - s.header_height;
  layout->visible_lines = room > 0 ? room / s.line_height : 0;
  layout->first_line = 1;
  layout->selected_line = 1;
  for (int i = 0; i < kMaxStackedPanels; ++i) {
    layout->slots[i].x = 0;
    layout->slots[i].panel = i < s.panel_count ? s.panel_count - i : 0;
  }
  DefaultPanelPositions(layout);
}

ListRect HeaderRect(const StackedLayout* layout, int slot) {
  const StackedListShape& s = layout->shape;
  const int32_t left = layout->slots[slot].x + s.left_margin;
  const int32_t top = slot * s.panel_step;
  return {left, top, left + s.panel_width, top + s.header_height};
}

ListRect PanelRect(const StackedLayout* layout, int slot) {
  ListRect r = HeaderRect(layout, slot);
  r.bottom += layout->visible_lines * layout->shape.line_height;
  return r;
}

ListRect PanelLineRect(const StackedLayout* layout, int slot, int row) {
  ListRect r = HeaderRect(layout, slot);
  r.top = r.bottom + row * layout->shape.line_height;
  r.bottom = r.top + layout->shape.line_height;
  return r;
}

ListRect RowHeaderRect(const StackedLayout* layout, int row) {
  // Row headers line up with the back panel's rows.
  ListRect r = PanelLineRect(layout, 0, row);
  r.left = 0;
  r.right = layout->shape.left_margin;
  return r;
}

static bool Contains(const ListRect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

StackedHit HitTestStacked(const StackedLayout* layout, int x, int y) {
  for (int slot = FrontSlot(layout); slot >= 0; --slot) {
    if (!Contains(PanelRect(layout, slot), x, y)) continue;
    if (Contains(HeaderRect(layout, slot), x, y)) return {slot, 0};
    const int32_t row = (y - HeaderRect(layout, slot).bottom) / layout->shape.line_height;
    const int32_t line = layout->first_line + row;
    return {slot, line <= layout->shape.line_count ? line : -1};
  }
  return {-1, -1};
}

bool BringSlotToFront(StackedLayout* layout, int slot) {
  const int front = FrontSlot(layout);
  if (slot < 0 || slot >= front) return false;
  const PanelSlot moved = layout->slots[slot];
  for (int i = slot; i < front; ++i) layout->slots[i] = layout->slots[i + 1];
  layout->slots[front] = moved;
  return true;
}

int SlotOfPanel(const StackedLayout* layout, int panel) {
  for (int slot = 0; slot < layout->shape.panel_count; ++slot) {
    if (layout->slots[slot].panel == panel) return slot;
  }
  return -1;
}

int32_t OutlineLeft(const StackedLayout* layout, int x, int grab) {
  const StackedListShape& s = layout->shape;
  const int32_t lowest = s.left_margin;
  const int32_t highest = s.width - s.panel_width > lowest ? s.width - s.panel_width : lowest;
  return std::clamp<int32_t>(std::clamp<int32_t>(x, -kMaxPixels, kMaxPixels) - std::clamp<int32_t>(grab, -kMaxPixels, kMaxPixels), lowest,
               highest);
}

int32_t MovedLine(int32_t line, ListMove move, int32_t visible, int32_t count) {
  if (count < 1) return 1;
  const int32_t page = visible > 1 ? visible - 1 : 1;
  line = std::clamp<int32_t>(line, 1, count);
  switch (move) {
    case kMoveLineUp: line -= 1; break;
    case kMoveLineDown: line += 1; break;
    case kMovePageUp: line -= page; break;
    case kMovePageDown: line += page; break;
    case kMoveHome: line = 1; break;
    case kMoveEnd: line = count; break;
  }
  return std::clamp<int32_t>(line, 1, count);
}

int32_t FirstLineShowing(int32_t first, int32_t line, int32_t visible) {
  if (visible <= 0 || line < first) return line < 1 ? 1 : line;
  if (line >= first + visible) first = line - visible + 1;
  return first < 1 ? 1 : first;
}

int32_t LineScrollPosition(int32_t first, int32_t count) {
  if (count < 3) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(first - 1) * 1000 / (count - 1));
}

int32_t LineScrollTarget(int32_t first, int code, int thumb, int32_t visible, int32_t count) {
  int64_t target = first;
  switch (code) {
    case 0: target = first - 1; break;
    case 1: target = first + 1; break;
    case 2: target = static_cast<int64_t>(first) - visible; break;
    case 3: target = static_cast<int64_t>(first) + visible; break;
    case 4:
    case 5: target = static_cast<int64_t>(thumb) * (count - 1) / 1000 + 1; break;
    case 6: target = 1; break;
    case 7: target = static_cast<int64_t>(count) - visible; break;
    default: break;
  }
  const int64_t last = count > 1 ? count : 1;
  return static_cast<int32_t>(std::clamp<int64_t>(target, 1, last));
}

float ClampGridValue(float value, float minimum, float maximum) {
  const float low = minimum < maximum ? minimum : maximum;
  const float high = minimum < maximum ? maximum : minimum;
  if (!(value >= low)) return low;
  if (!(value <= high)) return high;
  return value;
}

float DraggedGridValue(int type, float value, float factor, int movement, float minimum,
                       float maximum) {
  float moved = value;
  if (type == 1 || type == 2) {
    moved = value - static_cast<float>(movement) * factor;
  } else if (type == 4) {
    moved = value * std::pow(factor, static_cast<float>(-movement));
  }
  if (std::isnan(moved)) return value;
  return ClampGridValue(moved, minimum, maximum);
}
