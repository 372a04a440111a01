// The control skeleton: see control_window.h.
#include "ctl/control_window.h"

void* ControlRecord(HWND window) {
  return window ? reinterpret_cast<void*>(GetWindowLongPtrA(window, 0)) : nullptr;
}

void AttachRecord(HWND window, void* record) {
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(record));
}

void DetachRecord(HWND window) { SetWindowLongPtrA(window, 0, 0); }

bool IsOurRecord(HWND window, const void* record) {
  return record && IsWindow(window) && ControlRecord(window) == record;
}

void TakeFocusOnActivate(HWND window) {
  if (GetFocus() != window) SetFocus(window);
}

bool OnCommonControlMessage(HWND window, HWND owner, UINT message, WPARAM wparam, LPARAM lparam,
                            LRESULT* result) {
  switch (message) {
    case WM_MOUSEACTIVATE:
      TakeFocusOnActivate(window);
      *result = DefWindowProcA(window, message, wparam, lparam);
      return true;
    case WM_KEYDOWN:
      if (wparam != VK_TAB && wparam != VK_ESCAPE) return false;
      PostMessageA(owner, WM_KEYDOWN, wparam, lparam);
      *result = 0;
      return true;
    default: return false;
  }
}
