// The value grid ("Vgrid"): value items placed on a logical canvas that the
// user zooms and scrolls; the owner draws them, the grid changes them.
//
// How it works. The items live in a growing array of GridItem records the
// owner appends and removes. Painting and hit tests go through the
// zoomable view (list_zoom_view.h), so the owner draws in logical units. A press
// on an item of type 1 to 4 drags its value: the vertical movement times
// the pressed button's factor (list_geometry.cpp does the arithmetic), with
// a double XOR focus rectangle round the item; the drag ends on the release
// of the button that started it, on WM_CANCELMODE and when the capture is
// lost, so no button can keep the capture for ever. A press elsewhere pans
// the view. Ctrl-presses type a value in the library's editors or zoom.
// The owner's callback and the editors' modal loops may destroy the grid
// or change its items, so after each the record and the item are found
// again before they are touched.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ctl/control_window.h"
#include "ctl/library_state.h"
#include "ctl/list_zoom_view.h"

constexpr int32_t kMaxGridItems = 1 << 20;
constexpr int kZoomStep = 10;

// The grid's own messages (the public functions send them).
constexpr UINT kGridAppend = WM_USER + 0x100;   // wparam count, lparam items: 1 / 0
constexpr UINT kGridRemove = WM_USER + 0x101;   // wparam id: how many went
constexpr UINT kGridValue = WM_USER + 0x102;    // wparam item: value bits
constexpr UINT kGridOptions = WM_USER + 0x103;  // wparam zoom, lparam scroll drag
constexpr UINT kGridZoom = WM_USER + 0x104;     // the zoom percent

struct GridDrag {
  int32_t item;    // -1: none
  int32_t button;  // 0 left, 1 right
  int32_t last_x, last_y;
  int32_t rectangle_drawn;
};

struct ValueGridState {
  ValueGridCreate setup;  // first: the owner's record as it came
  HWND window;
  int32_t width, height;
  int32_t focused;
  GridContext context;
  ZoomView* view;
  GridItem* items;
  int32_t item_count;
  int32_t item_capacity;
  int32_t zoom;
  GridDrag drag;
  int32_t pan_button;
  int32_t zoom_enabled;
  int32_t scroll_drag_enabled;
};


// Calls `callback` (the grid's when null) for item number `item` (-1: none)
// with `rect` and `dc`. False when the grid did not outlive the call.
static bool CallOwner(ValueGridState* s, GridCallback callback, int event, int item,
                      const RECT& rect, HDC dc, int* result) {
  HWND window = s->window;
  *result = 0;
  if (!callback) callback = s->setup.callback;
  if (!NotificationsOn() || !callback) return true;
  GridContext* c = &s->context;
  c->id = s->setup.id;
  c->window = window;
  c->rect = rect;
  c->dc = dc;
  c->value = item >= 0 ? &s->items[item].value : nullptr;
  c->tag = item >= 0 ? s->items[item].tag : 0;
  c->item = item;
  c->user_data = s->setup.user_data;
  *result = callback(c, event);
  return IsOurRecord(window, s);
}

static RECT ItemRect(const GridItem& item) {
  return {item.left, item.top, item.right, item.bottom};
}

// Reports item `item`'s new value (event 4) and redraws.
static bool ValueChanged(ValueGridState* s, int item) {
  int result;
  if (!CallOwner(s, nullptr, 4, item, ItemRect(s->items[item]), nullptr, &result)) return false;
  InvalidateRect(s->window, nullptr, FALSE);
  return true;
}

// The item under a client point that a drag or an edit can take, or -1;
// the last appended wins, as it is drawn last.
static int ItemAt(const ValueGridState* s, int x, int y) {
  int32_t lx, ly;
  ViewClientToLogical(s->view, x, y, &lx, &ly);
  for (int i = s->item_count - 1; i >= 0; --i) {
    const GridItem& item = s->items[i];
    if (item.type < 1 || item.type > 4) continue;
    if (lx >= item.left && lx < item.right && ly >= item.top && ly < item.bottom) return i;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Drawing.

// The double focus rectangle round the dragged item, drawn or erased (XOR).
static void DrawDragRectangle(ValueGridState* s, HDC dc) {
  const RECT logical = ItemRect(s->items[s->drag.item]);
  RECT r = ViewLogicalToClient(s->view, &logical);
  InflateRect(&r, 1, 1);
  DrawFocusRect(dc, &r);
  InflateRect(&r, 2, 2);
  DrawFocusRect(dc, &r);
}

static void ToggleDragRectangle(ValueGridState* s) {
  HDC dc = BorrowDc(s->window);
  if (!dc) return;
  DrawDragRectangle(s, dc);
  ReturnDc(s->window, &dc);
  s->drag.rectangle_drawn ^= 1;
}

static void OnPaint(ValueGridState* s) {
  HWND window = s->window;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  int result;
  bool alive = CallOwner(s, nullptr, 2, -1, client, dc, &result);
  if (alive) {
    const int saved = SaveDC(dc);
    PrepareZoomDC(s->view, dc);
    const ListRect visible = ViewVisibleRect(s->view);
    for (int i = 0; alive && i < s->item_count; ++i) {
      const GridItem& item = s->items[i];
      if (item.right < visible.left || item.left > visible.right || item.bottom < visible.top ||
          item.top > visible.bottom) {
        continue;
      }
      alive = CallOwner(s, item.callback, 3, i, ItemRect(item), dc, &result);
    }
    if (alive) RestoreDC(dc, saved);
  }
  if (alive) {
    // The owner painted over a drag's rectangle: draw it again.
    if (s->drag.item >= 0 && s->drag.rectangle_drawn) DrawDragRectangle(s, dc);
    if (s->focused) DrawFocusMark(dc, 0, 0);
  }
  EndPaint(window, &ps);
}

// ---------------------------------------------------------------------------
// Value drags.

static void BeginValueDrag(ValueGridState* s, int item, int button, int x, int y) {
  s->drag = {item, button, x, y, 0};
  SetCapture(s->window);
  ToggleDragRectangle(s);
}

static void MoveValueDrag(ValueGridState* s, int x, int y) {
  GridDrag* d = &s->drag;
  const int movement = y - d->last_y;
  d->last_x = x;
  d->last_y = y;
  if (movement == 0) return;
  GridItem* item = &s->items[d->item];
  const float factor = d->button ? item->right_factor : item->left_factor;
  const float value =
      DraggedGridValue(item->type, item->value, factor, movement, item->minimum, item->maximum);
  if (value == item->value) return;
  item->value = value;
  ValueChanged(s, d->item);
}

// Ends a value drag; `released` with the release point, which toggles a
// type-3 item released over itself.
static void EndValueDrag(ValueGridState* s, bool released, int x, int y) {
  const int item = s->drag.item;
  if (item < 0) return;
  if (s->drag.rectangle_drawn) ToggleDragRectangle(s);
  s->drag.item = -1;  // first: releasing the capture comes back as WM_CAPTURECHANGED
  if (GetCapture() == s->window) ReleaseCapture();
  if (released && s->items[item].type == 3 && ItemAt(s, x, y) == item) {
    s->items[item].value = s->items[item].value == 0.0f ? 1.0f : 0.0f;
    ValueChanged(s, item);
  }
}

// ---------------------------------------------------------------------------
// Ctrl-press editing and zoom.

// Sets item `item` to a typed value if it is still the item with `id`.
static void AcceptTyped(ValueGridState* s, int item, int32_t id, float value) {
  if (item >= s->item_count || s->items[item].id != id) return;  // removed meanwhile
  GridItem* g = &s->items[item];
  g->value = ClampGridValue(value, g->minimum, g->maximum);
  ValueChanged(s, item);
}

static void EditItem(ValueGridState* s, int item) {
  HWND window = s->window;
  const GridItem g = s->items[item];
  const RECT logical = ItemRect(g);
  const RECT r = ViewLogicalToClient(s->view, &logical);
  POINT at = {r.left, r.top};
  ClientToScreen(window, &at);
  if (g.type == 1 || g.type == 4) {
    char text[64];
    std::snprintf(text, sizeof text, "%.5f", static_cast<double>(g.value));
    int edited = 0;
    char* answer = OpenQuickEdit(window, kTextStyleValue, at.x, at.y, 150, 20, text, &edited);
    // An untouched Enter, or an answer without a number, changes nothing.
    long double typed = 0;
    const bool taken = answer && edited && ParseTypedValue(answer, &typed);
    std::free(answer);
    if (taken && IsOurRecord(window, s)) {
      AcceptTyped(s, item, g.id, FiniteFloat(static_cast<double>(typed)));
    }
  } else if (g.type == 2) {
    const float seconds = OpenTimeDialog(window, kTextStyleValue, at.x, at.y, g.value);
    if (seconds != kTimeDialogCancel && IsOurRecord(window, s)) AcceptTyped(s, item, g.id, seconds);
  }
}

static void StepZoom(ValueGridState* s, int step) {
  int zoom = s->zoom + step;
  if (zoom < static_cast<int>(kZoomMinimum)) zoom = static_cast<int>(kZoomMinimum);
  if (zoom > static_cast<int>(kZoomMaximum)) zoom = static_cast<int>(kZoomMaximum);
  if (zoom == s->zoom) return;
  s->zoom = zoom;
  SetViewZoom(s->view, static_cast<float>(zoom));
}

// ---------------------------------------------------------------------------
// Mouse.

// A press of `button` (0 left, 1 right). Returns false when it goes to
// default processing.
static bool OnButtonDown(ValueGridState* s, int button, WPARAM keys, int x, int y) {
  if (IsViewPanning(s->view) || s->drag.item >= 0) return false;
  if (GetFocus() != s->window) SetFocus(s->window);
  const int item = ItemAt(s, x, y);
  if (keys & MK_CONTROL) {
    if (button == 0 && item >= 0) {
      EditItem(s, item);
      return true;
    }
    if (item < 0) {
      if (s->zoom_enabled) StepZoom(s, button == 0 ? -kZoomStep : kZoomStep);
      return true;
    }
  }
  if (item >= 0) {
    BeginValueDrag(s, item, button, x, y);
  } else if (s->scroll_drag_enabled) {
    s->pan_button = button;
    BeginViewPan(s->view, x, y);
  }
  return true;
}

static void OnButtonUp(ValueGridState* s, int button, int x, int y) {
  if (s->drag.item >= 0 && s->drag.button == button) EndValueDrag(s, true, x, y);
  if (IsViewPanning(s->view) && s->pan_button == button) EndViewPan(s->view);
}

static void OnMouseMove(ValueGridState* s, int x, int y) {
  if (s->drag.item >= 0) {
    MoveValueDrag(s, x, y);
  } else if (IsViewPanning(s->view)) {
    MoveViewPan(s->view, x, y);
  }
}

// WM_CANCELMODE, and the capture taken by another window: whatever is held
// lets go, without the toggle of a release.
static void CancelDrags(ValueGridState* s) {
  EndValueDrag(s, false, 0, 0);
  EndViewPan(s->view);
}

// ---------------------------------------------------------------------------
// Items.

static LRESULT Append(ValueGridState* s, int count, const GridItem* items) {
  if (count < 0 || (count > 0 && !items) || count > kMaxGridItems - s->item_count) return 0;
  const int32_t needed = s->item_count + count;
  if (needed > s->item_capacity) {
    int32_t capacity = s->item_capacity ? s->item_capacity : 8;
    while (capacity < needed)
      capacity = capacity > kMaxGridItems / 2 ? kMaxGridItems : capacity * 2;
    void* grown = std::realloc(s->items, sizeof(GridItem) * static_cast<size_t>(capacity));
    if (!grown) return 0;
    s->items = static_cast<GridItem*>(grown);
    s->item_capacity = capacity;
  }
  if (count > 0) std::memcpy(s->items + s->item_count, items, sizeof(GridItem) * count);
  s->item_count = needed;
  InvalidateRect(s->window, nullptr, FALSE);
  return 1;
}

static LRESULT Remove(ValueGridState* s, int32_t id) {
  if (s->drag.item >= 0 && s->items[s->drag.item].id == id) EndValueDrag(s, false, 0, 0);
  const int32_t dragged = s->drag.item;
  int32_t kept = 0;
  for (int32_t i = 0; i < s->item_count; ++i) {
    if (s->items[i].id == id) continue;
    if (i == dragged) s->drag.item = kept;  // a drag follows its item
    s->items[kept++] = s->items[i];
  }
  const int32_t removed = s->item_count - kept;
  s->item_count = kept;
  if (removed) InvalidateRect(s->window, nullptr, FALSE);
  return removed;
}

static bool IsValueGrid(HWND grid) {
  char name[64];
  return grid && GetClassNameA(grid, name, sizeof name) && std::strcmp(name, kValueGridClass) == 0;
}

int AppendGridItems(HWND grid, const GridItem* items, int count) {
  if (!IsValueGrid(grid)) return 0;
  return static_cast<int>(
      SendMessageA(grid, kGridAppend, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(items)));
}

int RemoveGridItems(HWND grid, int32_t item_id) {
  if (!IsValueGrid(grid)) return 0;
  return static_cast<int>(SendMessageA(grid, kGridRemove, static_cast<WPARAM>(item_id), 0));
}

float GetGridItemValue(HWND grid, int item) {
  if (!IsValueGrid(grid)) return 0.0f;
  return FloatFromBits(
      static_cast<uint32_t>(SendMessageA(grid, kGridValue, static_cast<WPARAM>(item), 0)));
}

void SetGridOptions(HWND grid, int zoom_enabled, int scroll_drag_enabled) {
  if (IsValueGrid(grid)) SendMessageA(grid, kGridOptions, zoom_enabled, scroll_drag_enabled);
}

int GetGridZoom(HWND grid) {
  return IsValueGrid(grid) ? static_cast<int>(SendMessageA(grid, kGridZoom, 0, 0)) : 0;
}

// ---------------------------------------------------------------------------
// Life.

static void FreeGrid(ValueGridState* s) {
  std::free(s->items);
  std::free(s->view);
  std::free(s);
}

static LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  const auto* record = static_cast<const ValueGridCreate*>(create->lpCreateParams);
  auto* s = NewRecord<ValueGridState>(record);
  if (s) s->view = static_cast<ZoomView*>(std::calloc(1, sizeof(ZoomView)));
  if (!s || !s->view) {
    if (s) FreeGrid(s);
    return -1;
  }
  s->setup = *record;
  s->window = window;
  s->width = create->cx;
  s->height = create->cy;
  s->zoom = 100;
  s->drag.item = -1;
  s->zoom_enabled = 1;
  s->scroll_drag_enabled = 1;
  InitZoomView(s->view, window, record->virtual_width, record->virtual_height);
  AttachRecord(window, s);
  int result = 1;
  const RECT none = {0, 0, 0, 0};
  if (NotificationsOn() && record->callback) {
    if (!CallOwner(s, nullptr, 1, -1, none, nullptr, &result)) return -1;
  }
  if (result == 0) {
    DetachRecord(window);
    FreeGrid(s);
    return -1;
  }
  return 0;
}

static void OnDestroy(ValueGridState* s) {
  DetachRecord(s->window);
  s->drag.item = -1;
  s->view->panning = 0;
  if (GetCapture() == s->window) ReleaseCapture();
  FreeGrid(s);
}

static LRESULT OnGridMessage(ValueGridState* s, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kGridAppend:
      return Append(s, static_cast<int>(wparam), reinterpret_cast<const GridItem*>(lparam));
    case kGridRemove: return Remove(s, static_cast<int32_t>(wparam));
    case kGridValue:
      return wparam < static_cast<WPARAM>(s->item_count) ? FloatBits(s->items[wparam].value) : 0;
    case kGridOptions:
      s->zoom_enabled = wparam ? 1 : 0;
      s->scroll_drag_enabled = lparam ? 1 : 0;
      return 0;
    case kGridZoom: return s->zoom;
    default: return 0;
  }
}

static void OnSize(ValueGridState* s, int width, int height) {
  s->width = width;
  s->height = height;
}

static void OnFocus(ValueGridState* s, bool focused) {
  s->focused = focused ? 1 : 0;
  InvalidateRect(s->window, nullptr, FALSE);
}

// Alt+Tab, a message box: drags end as if cancelled.
static void OnCaptureChanged(ValueGridState* s, HWND new_owner) {
  if (new_owner != s->window) CancelDrags(s);
}

LRESULT CALLBACK ValueGridProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ValueGridState* s = nullptr;
  LRESULT result = 0;
  if (HandledBySkeleton(window, message, wparam, lparam, OnCreate, &s, &result)) return result;
  if (message >= kGridAppend && message <= kGridZoom) {
    return OnGridMessage(s, message, wparam, lparam);
  }
  const int x = static_cast<int16_t>(LOWORD(lparam));
  const int y = static_cast<int16_t>(HIWORD(lparam));
  switch (message) {
    case WM_DESTROY: OnDestroy(s); return 0;
    case WM_PAINT: OnPaint(s); return 0;
    case WM_SIZE: OnSize(s, x, y); return 0;
    case WM_SETFOCUS: OnFocus(s, true); return 0;
    case WM_KILLFOCUS: OnFocus(s, false); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (OnButtonDown(s, message == WM_RBUTTONDOWN ? 1 : 0, wparam, x, y)) return 0;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: OnButtonUp(s, message == WM_RBUTTONUP ? 1 : 0, x, y); return 0;
    case WM_MOUSEMOVE: OnMouseMove(s, x, y); return 0;
    case WM_CANCELMODE: CancelDrags(s); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(s, reinterpret_cast<HWND>(lparam)); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: OnZoomScroll(s->view, message == WM_VSCROLL ? 1 : 0, wparam); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    default: break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}
