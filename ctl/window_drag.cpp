// Window drag of captionless windows: from the press to the release an XOR
// outline of the window, crossed at the grab point, follows the pointer on
// the screen; at the release the window moves to where the outline was.
// The outline's drawing is shared with the stacked-panel list's header drag.
#include "ctl/library_state.h"

void DrawDragOutline(HDC dc, int left, int top, int right, int bottom, const POINT* cross) {
  HGDIOBJ old_pen = SelectObject(dc, GetDashDotPen());
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const int old_mix = SetROP2(dc, R2_XORPEN);
  Rectangle(dc, left, top, right, bottom);
  if (cross) {
    MoveToEx(dc, left, cross->y, nullptr);
    LineTo(dc, right, cross->y);
    MoveToEx(dc, cross->x, top, nullptr);
    LineTo(dc, cross->x, bottom);
  }
  SetROP2(dc, old_mix);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
}

// Draws (or, drawn again, erases) the outline for pointer (px, py).
static void DrawOutline(const WindowDragState* s, int px, int py) {
  HDC screen = BorrowDc(nullptr);
  if (!screen) return;
  const int left = px - s->grab_x;
  const int top = py - s->grab_y;
  const POINT cross = {px, py};
  DrawDragOutline(screen, left, top, left + s->width, top + s->height, &cross);
  ReturnDc(nullptr, &screen);
}

void InitWindowDrag(WindowDragState* state, HWND window) {
  state->window = window;
  state->dragging = 0;
  state->outline_drawn = 0;
  state->previous_capture = nullptr;
}

void BeginWindowDrag(WindowDragState* state, int x, int y) {
  if (state->dragging) return;  // a second press would leave the first outline behind
  POINT at = {x, y};
  ClientToScreen(state->window, &at);
  RECT r;
  GetWindowRect(state->window, &r);
  state->left = r.left;
  state->top = r.top;
  state->width = r.right - r.left + 1;
  state->height = r.bottom - r.top + 1;
  state->dragging = 1;
  state->last_x = at.x;
  state->last_y = at.y;
  state->grab_x = at.x - r.left;
  state->grab_y = at.y - r.top;
  state->outline_drawn = 0;
  state->previous_capture = SetCapture(state->window);
}

void MoveWindowDrag(WindowDragState* state, int x, int y) {
  if (!state->dragging) return;
  POINT at = {x, y};
  ClientToScreen(state->window, &at);
  if (state->outline_drawn) DrawOutline(state, state->last_x, state->last_y);
  DrawOutline(state, at.x, at.y);
  state->last_x = at.x;
  state->last_y = at.y;
  state->outline_drawn = 1;
}

void EndWindowDrag(WindowDragState* state, int, int) {
  if (!state->dragging) return;
  // Not dragging any more before the capture goes: releasing it sends
  // WM_CAPTURECHANGED, which a window may answer by ending the drag.
  state->dragging = 0;
  if (state->outline_drawn) DrawOutline(state, state->last_x, state->last_y);
  state->outline_drawn = 0;
  if (GetCapture() == state->window) ReleaseCapture();
  state->left = state->last_x - state->grab_x;
  state->top = state->last_y - state->grab_y;
  SetWindowPos(state->window, nullptr, state->left, state->top, 0, 0,
               SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOZORDER);
  if (state->previous_capture) SetCapture(state->previous_capture);
  state->previous_capture = nullptr;
}

int IsWindowDragging(const WindowDragState* state) { return state->dragging; }

void OnWindowDragCaptureChanged(WindowDragState* state, HWND new_owner) {
  if (!state->dragging || new_owner == state->window) return;
  state->previous_capture = nullptr;  // the capture went where it went: leave it there
  EndWindowDrag(state, state->last_x, state->last_y);
}
