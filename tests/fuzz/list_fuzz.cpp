// The list controls' creation records as an owner may fill them: clamped
// into sound values, after which every layout question has an answer inside
// the control and the grid's values stay inside their items' ranges.
#include <cmath>

#include "ctl/portable/list_geometry.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const StackedListShape shape = in.Take<StackedListShape>();
  StackedLayout layout;
  SetupStackedLayout(&layout, &shape);
  const StackedListShape& s = layout.shape;
  FUZZ_CHECK(s.panel_count >= 1 && s.panel_count <= kMaxStackedPanels);
  FUZZ_CHECK(s.line_height >= 1 && s.line_count >= 0 && s.width >= 0 && s.height >= 0);
  FUZZ_CHECK(layout.visible_lines >= 0);
  for (int slot = 0; slot < s.panel_count; ++slot) {
    FUZZ_CHECK(SlotOfPanel(&layout, layout.slots[slot].panel) == slot);
  }
  const int x = in.Take<int32_t>(), y = in.Take<int32_t>();
  HitTestStacked(&layout, x, y);
  const int32_t left = OutlineLeft(&layout, x, in.Take<int32_t>());
  (void)left;
  BringSlotToFront(&layout, in.Take<uint8_t>() % s.panel_count);
  const float minimum = in.Take<float>(), maximum = in.Take<float>(), v = in.Take<float>();
  const float clamped = ClampGridValue(v, minimum, maximum);
  if (std::isfinite(minimum) && std::isfinite(maximum) && minimum <= maximum) {
    FUZZ_CHECK(clamped >= minimum && clamped <= maximum);
  }
  return 0;
}
