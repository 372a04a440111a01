// The free panel: an empty child window whose behaviour its owner supplies
// through a FreePanelProc. The library adds the class, a small record, the
// focus on a click and an orderly close.
#include <cstdlib>
#include <cstring>

#include "ctl/control_window.h"
#include "ctl/library_state.h"

struct FreePanelState {
  HWND parent;
  int32_t x, y;
  uint16_t id;
  void* user_data;
  FreePanelProc procedure;
  int32_t close_to_parent;  // 1: WM_CLOSE goes on to the parent
};

static FreePanelState* StateOf(HWND window) { return RecordOf<FreePanelState>(window); }

static LRESULT OnCreate(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
  const auto* record = static_cast<const FreePanelState*>(create->lpCreateParams);
  auto* s = static_cast<FreePanelState*>(std::malloc(sizeof(FreePanelState)));
  if (!s || !record || !record->procedure) {
    std::free(s);
    return -1;
  }
  *s = *record;
  AttachRecord(window, s);
  const LRESULT result = s->procedure(window, message, wparam, lparam, s->user_data);
  // An owner that refuses the creation ends it: no WM_DESTROY follows.
  if (result == -1 && StateOf(window) == s) {
    DetachRecord(window);
    std::free(s);
  }
  return result;
}

static LRESULT OnDestroy(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  FreePanelState* s = StateOf(window);
  if (s) {
    s->procedure(window, message, wparam, lparam, s->user_data);
    DetachRecord(window);
    std::free(s);
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

static void OnClose(HWND window) {
  FreePanelState* s = StateOf(window);
  if (s && s->close_to_parent) {
    PostMessageA(s->parent, WM_CLOSE, 0, 0);
  } else {
    DestroyWindow(window);
  }
}

// Everything else is the owner's (its FreePanelProc).
static LRESULT OnOwnerMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  FreePanelState* s = StateOf(window);
  if (!s) return DefWindowProcA(window, message, wparam, lparam);
  return s->procedure(window, message, wparam, lparam, s->user_data);
}

LRESULT CALLBACK FreePanelWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      DetachRecord(window);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_CREATE: return OnCreate(window, message, wparam, lparam);
    case WM_DESTROY: return OnDestroy(window, message, wparam, lparam);
    case WM_CLOSE: OnClose(window); return 0;
    case WM_MOUSEACTIVATE:
      TakeFocusOnActivate(window);
      return DefWindowProcA(window, message, wparam, lparam);
    default: return OnOwnerMessage(window, message, wparam, lparam);
  }
}

HWND CreateFreePanel(HWND parent, int id, int x, int y, int width, int height,
                     FreePanelProc procedure, void* user_data) {
  FreePanelState record;
  std::memset(&record, 0, sizeof record);
  record.parent = parent;
  record.x = x;
  record.y = y;
  record.id = static_cast<uint16_t>(id);
  record.user_data = user_data;
  record.procedure = procedure;
  return CreateControlWindow(kFreePanelClass, parent, id, x, y, width, height, &record);
}
