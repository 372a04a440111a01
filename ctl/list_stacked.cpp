// The stacked-panel list ("3DList"): up to sixteen panels of the same lines
// stacked like cards, each lower and in front of the one before, with row
// headers left of them. The owner draws every header and line; the control
// keeps the order, the positions, the selection and the input.
//
// How it works. The record starts with the owner's creation record, copied
// whole; the layout (list_geometry.h) holds the clamped sizes, the visible
// lines and the panel order. Every paint composes the picture in a bitmap:
// the background, the row headers, then the panels from the front slot
// back, each panel's rectangle cut out of the clip region once drawn so
// that the panels behind never draw over it. A press on a header drags the
// front panel sideways with an XOR outline (the window drag's); the release
// sets its position. The owner's callback may destroy the control, so after
// every call the record is checked again before it is touched.
#include <cstdlib>
#include <cstring>

#include "ctl/control_window.h"
#include "ctl/library_state.h"
#include "ctl/list_menu.h"

typedef StackedListDrag HeaderDrag;

struct StackedListState {
  StackedListCreate setup;  // first: the owner's record as it came
  HWND window;
  int32_t focused;
  StackedListItem item;
  StackedLayout layout;
  HeaderDrag drag;
  HBITMAP composed;
  HBITMAP background;
  HMENU menu;
  HDC composing_dc;  // while a paint composes: the memory DC and what it held
  HGDIOBJ composing_old;
};

static int32_t Width(const StackedListState* s) { return s->layout.shape.width; }
static int32_t Height(const StackedListState* s) { return s->layout.shape.height; }

static RECT ToRect(const ListRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Calls the owner with the item context filled. Returns the callback's
// result; `*alive` tells whether the control outlived it.
static int CallOwner(StackedListState* s, int event, int line, int slot, bool row_header,
                     const ListRect& rect, HDC dc, bool* alive) {
  HWND window = s->window;
  *alive = true;
  if (!NotificationsOn() || !s->setup.callback) return 0;
  StackedListItem* item = &s->item;
  item->id = s->setup.id;
  item->window = window;
  item->line = line;
  item->panel = row_header ? 0 : s->layout.slots[slot].panel;
  item->rect = ToRect(rect);
  item->dc = dc;
  item->slot = slot;
  item->selected_line = s->layout.selected_line;
  const int result = s->setup.callback(s->setup.user_data, event, item);
  *alive = IsOurRecord(window, s);
  return result;
}

static void Redraw(StackedListState* s) { InvalidateRect(s->window, nullptr, FALSE); }

// ---------------------------------------------------------------------------
// Drawing.

static void DrawOutline(StackedListState* s) {
  HDC dc = BorrowDc(s->window);
  if (!dc) return;
  const HeaderDrag& d = s->drag;
  DrawDragOutline(dc, d.left, d.top, d.left + d.width, d.top + d.height, nullptr);
  ReturnDc(s->window, &dc);
}

// Draws every item through the owner into `dc`. False when the owner
// destroyed the control meanwhile.
static bool ComposeItems(StackedListState* s, HDC dc) {
  const StackedLayout* layout = &s->layout;
  const int32_t count = layout->shape.line_count;
  bool alive = true;
  for (int row = 0; row < layout->visible_lines && layout->first_line + row <= count; ++row) {
    CallOwner(s, 1, layout->first_line + row, 0, true, RowHeaderRect(layout, row), dc, &alive);
    if (!alive) return false;
  }
  for (int slot = FrontSlot(layout); slot >= 0; --slot) {
    CallOwner(s, 1, 0, slot, false, HeaderRect(layout, slot), dc, &alive);
    if (!alive) return false;
    for (int row = 0; row < layout->visible_lines && layout->first_line + row <= count; ++row) {
      CallOwner(s, 1, layout->first_line + row, slot, false, PanelLineRect(layout, slot, row), dc,
                &alive);
      if (!alive) return false;
    }
    const ListRect r = PanelRect(layout, slot);
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  SelectClipRgn(dc, nullptr);
  CallOwner(s, 6, 0, FrontSlot(layout), false, {0, 0, Width(s), Height(s)}, dc, &alive);
  return alive;
}

// The background: the owner's picture, or the parent's own drawing of the
// place under the control (its background and its client drawing, asked
// for again before every paint, so it follows the parent and never picks up
// another window that covers it).
static void FillBackground(StackedListState* s) {
  HDC memory = CreateMemoryDc(nullptr);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, s->background);
  RECT all = {0, 0, Width(s), Height(s)};
  FillRect(memory, &all, GetLibraryBrush(kPaletteWhite));
  HWND parent = s->setup.parent;
  if (s->setup.background) {
    DrawBitmap(memory, 0, 0, Width(s), Height(s), s->setup.background, s->setup.background_x,
               s->setup.background_y, SRCCOPY);
  } else if (parent && IsWindow(parent)) {
    RECT place;
    GetWindowRect(s->window, &place);
    POINT origin = {place.left, place.top};
    ScreenToClient(parent, &origin);
    POINT old_origin;
    SetViewportOrgEx(memory, -origin.x, -origin.y, &old_origin);
    SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    SetViewportOrgEx(memory, old_origin.x, old_origin.y, nullptr);
  }
  SelectObject(memory, old);
  DeleteMemoryDc(&memory);
}

static void OnPaint(StackedListState* s) {
  HWND window = s->window;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  FillBackground(s);
  HDC memory = CreateMemoryDc(dc);
  bool alive = true;
  if (memory) {
    s->composing_dc = memory;
    s->composing_old = SelectObject(memory, s->composed);
    DrawBitmap(memory, 0, 0, Width(s), Height(s), s->background, 0, 0, SRCCOPY);
    alive = ComposeItems(s, memory);
    if (alive) {
      BitBlt(dc, 0, 0, Width(s), Height(s), memory, 0, 0, SRCCOPY);
      SelectObject(memory, s->composing_old);
      s->composing_dc = nullptr;
    }
    DeleteMemoryDc(&memory);  // a destroyed control put its bitmap back already
  }
  if (alive) {
    if (s->focused) DrawFocusMark(dc, 0, 0);
    // The copy wiped a header-drag outline off: put it back, so erasing it
    // later leaves no trace.
    if (s->drag.outline_drawn) {
      const HeaderDrag& d = s->drag;
      DrawDragOutline(dc, d.left, d.top, d.left + d.width, d.top + d.height, nullptr);
    }
  }
  EndPaint(window, &ps);
}

// ---------------------------------------------------------------------------
// Selection and order.

static void SelectLine(StackedListState* s, int32_t line) {
  StackedLayout* layout = &s->layout;
  if (line < 1 || line > layout->shape.line_count || line == layout->selected_line) return;
  layout->selected_line = line;
  layout->first_line = FirstLineShowing(layout->first_line, line, layout->visible_lines);
  Redraw(s);
}

static void MoveSelection(StackedListState* s, ListMove move) {
  const StackedLayout* layout = &s->layout;
  SelectLine(
      s, MovedLine(layout->selected_line, move, layout->visible_lines, layout->shape.line_count));
}

// A click on a line: selects it, or tells the owner it was clicked again.
static void ClickLine(StackedListState* s, int32_t line) {
  if (line != s->layout.selected_line) {
    SelectLine(s, line);
    return;
  }
  const int front = FrontSlot(&s->layout);
  bool alive;
  const int row = line - s->layout.first_line;
  if (CallOwner(s, 2, line, front, false, PanelLineRect(&s->layout, front, row), nullptr, &alive) ==
          1 &&
      alive) {
    Redraw(s);
  }
}

static void BringPanelToFront(StackedListState* s, int panel) {
  if (BringSlotToFront(&s->layout, SlotOfPanel(&s->layout, panel))) Redraw(s);
}

static void RestorePositions(StackedListState* s) {
  DefaultPanelPositions(&s->layout);
  Redraw(s);
}

// ---------------------------------------------------------------------------
// Header drag.

static void BeginHeaderDrag(StackedListState* s, int x) {
  const int front = FrontSlot(&s->layout);
  HeaderDrag* d = &s->drag;
  d->window = s->window;
  d->left = s->layout.slots[front].x + s->layout.shape.left_margin;
  d->top = HeaderRect(&s->layout, front).top;
  d->width = s->layout.shape.panel_width;
  d->height = Height(s) - d->top;
  d->grab = x - d->left;
  d->bounds = {s->layout.shape.left_margin, d->top, Width(s), Height(s)};
  d->outline_drawn = 0;
  d->tracking = 1;
  SetCapture(s->window);
}

static void MoveHeaderDrag(StackedListState* s, int x) {
  HeaderDrag* d = &s->drag;
  if (d->outline_drawn) DrawOutline(s);
  d->left = OutlineLeft(&s->layout, x, d->grab);
  DrawOutline(s);
  d->outline_drawn = 1;
}

// The release, WM_CANCELMODE and a lost capture all end the drag alike.
static void EndHeaderDrag(StackedListState* s) {
  HeaderDrag* d = &s->drag;
  if (!d->tracking) return;
  d->tracking = 0;  // first: releasing the capture comes back as WM_CAPTURECHANGED
  if (d->outline_drawn) DrawOutline(s);
  d->outline_drawn = 0;
  if (GetCapture() == s->window) ReleaseCapture();
  s->layout.slots[FrontSlot(&s->layout)].x = d->left - s->layout.shape.left_margin;
  Redraw(s);
}

// ---------------------------------------------------------------------------
// Mouse and keys.

static void OnLeftButtonDown(StackedListState* s, int x, int y) {
  if (GetFocus() != s->window) SetFocus(s->window);
  if (s->drag.tracking) return;
  const StackedHit hit = HitTestStacked(&s->layout, x, y);
  if (hit.slot < 0) return;
  if (BringSlotToFront(&s->layout, hit.slot)) Redraw(s);
  if (hit.line == 0) {
    BeginHeaderDrag(s, x);
  } else if (hit.line > 0) {
    ClickLine(s, hit.line);
  }
}

static void OnRightButtonDown(StackedListState* s, int x, int y) {
  if (s->drag.tracking) return;
  const StackedHit hit = HitTestStacked(&s->layout, x, y);
  if (hit.slot >= 0 && BringSlotToFront(&s->layout, hit.slot)) Redraw(s);
  if (hit.line > 0) SelectLine(s, hit.line);
  UpdateWindow(s->window);
  OpenListMenu(s->menu, s->window, x, y);
}

static void OnMouseWheel(StackedListState* s, WPARAM wparam) {
  StackedLayout* layout = &s->layout;
  const int notches = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
  const int32_t last = layout->shape.line_count - layout->visible_lines + 1;
  int32_t first = layout->first_line - 3 * notches;
  if (first > last) first = last;
  if (first < 1) first = 1;
  if (first == layout->first_line) return;
  layout->first_line = first;
  Redraw(s);
}

static bool ControlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

static void OnKeyDown(StackedListState* s, WPARAM key) {
  const int front_panel = s->layout.slots[FrontSlot(&s->layout)].panel;
  bool alive;
  switch (key) {
    case VK_UP: MoveSelection(s, kMoveLineUp); return;
    case VK_DOWN: MoveSelection(s, kMoveLineDown); return;
    case VK_PRIOR: MoveSelection(s, kMovePageUp); return;
    case VK_NEXT: MoveSelection(s, kMovePageDown); return;
    case VK_HOME: MoveSelection(s, kMoveHome); return;
    case VK_END: MoveSelection(s, kMoveEnd); return;
    case VK_LEFT: BringPanelToFront(s, front_panel + 1); return;
    case VK_RIGHT: BringPanelToFront(s, front_panel - 1); return;
    case VK_BACK: RestorePositions(s); return;
    case VK_RETURN:
    case VK_SPACE:
      if (s->layout.selected_line <= s->layout.shape.line_count)
        ClickLine(s, s->layout.selected_line);
      return;
    case 'C':
    case 'X':
    case 'V':
      if (ControlHeld()) {
        const int event = key == 'C' ? 3 : key == 'X' ? 4 : 5;
        CallOwner(s, event, s->layout.selected_line, FrontSlot(&s->layout), false, {0, 0, 0, 0},
                  nullptr, &alive);
      }
      return;
    default: return;
  }
}

// Owner commands and the menu's.
static void OnCommand(StackedListState* s, WPARAM wparam, LPARAM lparam) {
  const WPARAM command = LOWORD(wparam);
  bool alive;
  switch (command) {
    case kStackedSelectLine: {
      const float n = FloatFromBits(static_cast<uint32_t>(lparam));
      if (n >= 1.0f && n <= static_cast<float>(s->layout.shape.line_count)) {
        SelectLine(s, static_cast<int32_t>(n));
      }
      return;
    }
    case kListNextLine: MoveSelection(s, kMoveLineDown); return;
    case kListPreviousLine: MoveSelection(s, kMoveLineUp); return;
    case kListDefaultPositions: RestorePositions(s); return;
    case kListFirstLine: MoveSelection(s, kMoveHome); return;
    case kListLastLine: MoveSelection(s, kMoveEnd); return;
    default: break;
  }
  if ((command >= 8 && command <= 999) || command > kListLastLine) {
    CallOwner(s, static_cast<int>(command), s->layout.selected_line, FrontSlot(&s->layout), false,
              {0, 0, 0, 0}, nullptr, &alive);
  }
}

// ---------------------------------------------------------------------------
// Life.

static void ReleaseImages(StackedListState* s) {
  if (s->composing_dc) {  // destroyed from inside a paint's callback
    SelectObject(s->composing_dc, s->composing_old);
    s->composing_dc = nullptr;
  }
  ReleaseGdi(&s->composed);
  ReleaseGdi(&s->background);
  if (s->menu) DestroyMenu(s->menu);
  s->menu = nullptr;
}

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const StackedListCreate*>(create->lpCreateParams);
  auto* s = NewRecord<StackedListState>(record);
  if (!s) return -1;
  s->setup = *record;
  s->window = window;
  StackedListShape shape = {record->width > 0 ? record->width : create->cx,
                            record->height > 0 ? record->height : create->cy,
                            record->line_count,
                            record->left_margin,
                            record->header_height,
                            record->panel_width,
                            record->line_height,
                            record->panel_count,
                            record->panel_step};
  SetupStackedLayout(&s->layout, &shape);
  const int w = Width(s) > 0 ? Width(s) : 1, h = Height(s) > 0 ? Height(s) : 1;
  HDC screen = BorrowDc(nullptr);
  s->composed = TrackGdi(CreateCompatibleBitmap(screen, w, h));
  s->background = TrackGdi(CreateCompatibleBitmap(screen, w, h));
  ReturnDc(nullptr, &screen);
  s->menu = BuildListMenu(true);
  if (!s->composed || !s->background || !s->menu) {
    ReleaseImages(s);
    std::free(s);
    return -1;
  }
  AttachRecord(window, s);
  return 0;
}

static void OnDestroy(StackedListState* s) {
  DetachRecord(s->window);
  s->drag.tracking = 0;
  if (GetCapture() == s->window) ReleaseCapture();
  ReleaseImages(s);
  std::free(s);
}

static void OnFocus(StackedListState* s, bool focused) {
  s->focused = focused ? 1 : 0;
  Redraw(s);
}

static void OnMouseMove(StackedListState* s, int x) {
  if (s->drag.tracking) MoveHeaderDrag(s, x);
}

// Alt+Tab, a message box: the header drag ends like a release.
static void OnCaptureChanged(StackedListState* s, HWND new_owner) {
  if (new_owner != s->window) EndHeaderDrag(s);
}

LRESULT CALLBACK StackedListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  StackedListState* s = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &s, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_DESTROY: OnDestroy(s); return 0;
    case WM_PAINT: OnPaint(s); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_SETFOCUS: OnFocus(s, true); return 0;
    case WM_KILLFOCUS: OnFocus(s, false); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(s, x, y); return 0;
    case WM_MOUSEMOVE: OnMouseMove(s, x); return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE: EndHeaderDrag(s); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(s, reinterpret_cast<HWND>(lparam)); return 0;
    case WM_RBUTTONDOWN: OnRightButtonDown(s, x, y); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(s, wparam); return 0;
    case WM_KEYDOWN: OnKeyDown(s, wparam); return 0;
    case WM_COMMAND: OnCommand(s, wparam, lparam); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
