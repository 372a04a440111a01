// The line list ("2DList"): one scrolling column of equal lines that the
// owner draws, with a single or (style bit 0) extended selection, a
// vertical scroll bar of range 0 … 1000 and a small context menu.
//
// How it works. The record starts with the owner's creation record; the
// scroll arithmetic is in list_geometry.cpp. Scrolling moves the window
// content by whole lines and lets the paint draw what came into view; each
// paint asks the owner for every visible line, then event 6. The owner's
// callback may destroy the control, so after every call the record is
// checked again before it is touched.
#include <cstdlib>

#include "ctl/control_window.h"
#include "ctl/library_state.h"
#include "ctl/list_menu.h"

constexpr int32_t kMaxLineCount = 1 << 28;

struct LineListState {
  LineListCreate setup;  // first: the owner's record as it came
  HWND window;
  int32_t x, y, width, height;
  int32_t focused;
  LineListItem item;
  int32_t line_count;
  int32_t line_height;
  int32_t visible_lines;
  int32_t first_line;
  int32_t selection_start;
  int32_t selection_end;
  HMENU menu;
};

// Calls the owner; false when the control did not outlive the call.
static bool CallOwner(LineListState* s, int event, int32_t line, int32_t top, HDC dc,
                      intptr_t extra, int* result) {
  HWND window = s->window;
  *result = 0;
  if (!NotificationsOn() || !s->setup.callback) return true;
  LineListItem* item = &s->item;
  item->id = s->setup.id;
  item->window = window;
  item->line = line;
  item->top = top;
  item->dc = dc;
  item->selected = line >= s->selection_start && line <= s->selection_end ? 1 : 0;
  item->extra = extra;
  *result = s->setup.callback(s->setup.user_data, event, item);
  return IsOurRecord(window, s);
}

static void Redraw(LineListState* s) { InvalidateRect(s->window, nullptr, FALSE); }

// ---------------------------------------------------------------------------
// Drawing and scrolling.

static void OnPaint(LineListState* s) {
  HWND window = s->window;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  FillRect(dc, &ps.rcPaint, GetLibraryBrush(kPaletteWhite));
  int result;
  bool alive = true;
  for (int32_t row = 0; alive && row * s->line_height < s->height; ++row) {
    const int32_t line = s->first_line + row;
    if (line > s->line_count) break;
    alive = CallOwner(s, 1, line, row * s->line_height, dc, 0, &result);
  }
  if (alive) alive = CallOwner(s, 6, 0, 0, dc, 0, &result);
  if (alive && s->focused) DrawFocusMark(dc, 0, 0);
  EndPaint(window, &ps);
}

static void ScrollTo(LineListState* s, int32_t first) {
  if (first == s->first_line) return;
  const int32_t lines = s->first_line - first;
  s->first_line = first;
  SetScrollPos(s->window, SB_VERT, LineScrollPosition(first, s->line_count), TRUE);
  if (lines > s->visible_lines + 1 || -lines > s->visible_lines + 1) {
    Redraw(s);  // nothing on the screen stays
  } else {
    ScrollWindowEx(s->window, 0, lines * s->line_height, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
  }
}

static void OnVerticalScroll(LineListState* s, WPARAM wparam) {
  ScrollTo(s, LineScrollTarget(s->first_line, LOWORD(wparam), HIWORD(wparam), s->visible_lines,
                               s->line_count));
}

static void OnMouseWheel(LineListState* s, WPARAM wparam) {
  const int notches = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
  int32_t first = s->first_line;
  for (int i = 0; i < notches * 3; ++i) first = LineScrollTarget(first, 0, 0, 0, s->line_count);
  for (int i = 0; i < -notches * 3; ++i) first = LineScrollTarget(first, 1, 0, 0, s->line_count);
  ScrollTo(s, first);
}

// ---------------------------------------------------------------------------
// Selection.

// Reports a changed selection (event 7) and redraws. False when the owner
// destroyed the control.
static bool SelectionChanged(LineListState* s, bool right_press) {
  int result;
  if (!CallOwner(s, 7, s->selection_start, 0, nullptr, right_press ? 1 : 0, &result)) return false;
  Redraw(s);
  return true;
}

static void MoveSelection(LineListState* s, ListMove move) {
  if (s->line_count < 1) return;
  const int32_t line = MovedLine(s->selection_start, move, s->visible_lines, s->line_count);
  if (line == s->selection_start && line == s->selection_end) return;
  s->selection_start = s->selection_end = line;
  ScrollTo(s, FirstLineShowing(s->first_line, line, s->visible_lines));
  SelectionChanged(s, false);
}

// The line under client y, or 0.
static int32_t LineAt(const LineListState* s, int y) {
  if (y < 0) return 0;
  const int32_t line = s->first_line + y / s->line_height;
  return line <= s->line_count ? line : 0;
}

static bool Click(LineListState* s, WPARAM keys, int x, int y, bool right_press) {
  s->item.click_x = x;
  const int32_t line = LineAt(s, y);
  if (line == 0) return true;
  const bool extend = !right_press && (s->setup.style & kLineListExtendedSelection) &&
                      (keys & (MK_SHIFT | MK_CONTROL));
  if (!extend) {
    s->selection_start = s->selection_end = line;
  } else if (line < s->selection_start) {
    s->selection_start = line;
  } else {
    s->selection_end = line;
  }
  return SelectionChanged(s, right_press);
}

static void OnRightButtonDown(LineListState* s, int x, int y) {
  if (!Click(s, 0, x, y, true)) return;
  UpdateWindow(s->window);
  EnableListLineItems(s->menu, s->line_count >= 2);
  int result;
  HMENU menu = s->menu;
  if (!CallOwner(s, 8, s->selection_start, 0, nullptr, reinterpret_cast<intptr_t>(menu), &result) ||
      result == 0) {
    return;
  }
  OpenListMenu(menu, s->window, x, y);
}

static bool ControlHeld() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

static void OnKeyDown(LineListState* s, WPARAM key) {
  int result;
  switch (key) {
    case VK_UP: MoveSelection(s, kMoveLineUp); return;
    case VK_DOWN: MoveSelection(s, kMoveLineDown); return;
    case VK_PRIOR: MoveSelection(s, kMovePageUp); return;
    case VK_NEXT: MoveSelection(s, kMovePageDown); return;
    case VK_HOME: MoveSelection(s, kMoveHome); return;
    case VK_END: MoveSelection(s, kMoveEnd); return;
    default: break;
  }
  if (ControlHeld() && (key == 'C' || key == 'V' || key == 'X')) {
    const int event = key == 'C' ? 4096 : key == 'V' ? 4097 : 4098;
    CallOwner(s, event, s->selection_start, 0, nullptr, 0, &result);
    return;
  }
  CallOwner(s, 10, s->selection_start, 0, nullptr, static_cast<intptr_t>(key), &result);
}

static void OnCommand(LineListState* s, WPARAM wparam) {
  const WPARAM command = LOWORD(wparam);
  int result;
  switch (command) {
    case kListNextLine: MoveSelection(s, kMoveLineDown); return;
    case kListPreviousLine: MoveSelection(s, kMoveLineUp); return;
    case kListFirstLine: MoveSelection(s, kMoveHome); return;
    case kListLastLine: MoveSelection(s, kMoveEnd); return;
    default: break;
  }
  if (command >= 100 && command <= 999) {
    CallOwner(s, 9, s->selection_start, 0, nullptr, static_cast<intptr_t>(command), &result);
  }
}

// ---------------------------------------------------------------------------
// Life.

static void OnSize(LineListState* s) {
  RECT r;
  GetWindowRect(s->window, &r);
  POINT at = {r.left, r.top};
  if (s->setup.parent) ScreenToClient(s->setup.parent, &at);
  RECT client;
  GetClientRect(s->window, &client);
  s->x = at.x;
  s->y = at.y;
  s->width = client.right;
  s->height = client.bottom;
  s->visible_lines = s->height / s->line_height;
}

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const LineListCreate*>(create->lpCreateParams);
  auto* s = NewRecord<LineListState>(record);
  if (!s) return -1;
  s->setup = *record;
  s->window = window;
  s->line_count = record->line_count < 0               ? 0
                  : record->line_count > kMaxLineCount ? kMaxLineCount
                                                       : record->line_count;
  s->line_height = record->line_height < 1       ? 1
                   : record->line_height > 32767 ? 32767
                                                 : record->line_height;
  s->first_line = s->selection_start = s->selection_end = 1;
  s->menu = BuildListMenu(false);
  if (!s->menu) {
    std::free(s);
    return -1;
  }
  AttachRecord(window, s);
  OnSize(s);
  SetScrollRange(window, SB_VERT, 0, 1000, FALSE);
  SetScrollPos(window, SB_VERT, LineScrollPosition(s->first_line, s->line_count), FALSE);
  return 0;
}

static void OnDestroy(LineListState* s) {
  DetachRecord(s->window);
  if (s->menu) DestroyMenu(s->menu);
  std::free(s);
}

static void OnFocus(LineListState* s, bool focused) {
  s->focused = focused ? 1 : 0;
  Redraw(s);
}

static void OnLeftButtonDown(LineListState* s, WPARAM keys, int x, int y) {
  TakeFocusOnActivate(s->window);
  Click(s, keys, x, y, false);
}

LRESULT CALLBACK LineListProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LineListState* s = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &s, &result)) return result;
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_DESTROY: OnDestroy(s); return 0;
    case WM_PAINT: OnPaint(s); return 0;
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_SIZE:
    case WM_MOVE: OnSize(s); return 0;
    case WM_SETFOCUS: OnFocus(s, true); return 0;
    case WM_KILLFOCUS: OnFocus(s, false); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(s, wparam, x, y); return 0;
    case WM_RBUTTONDOWN: OnRightButtonDown(s, x, y); return 0;
    case WM_VSCROLL: OnVerticalScroll(s, wparam); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(s, wparam); return 0;
    case WM_KEYDOWN: OnKeyDown(s, wparam); return 0;
    case WM_COMMAND: OnCommand(s, wparam); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
