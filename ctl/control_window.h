// The skeleton every child control of the library shares: where its record
// lives, and the messages every control answers alike. Internal to the
// library.
//
// The one ownership rule: a control's record lives in the window's extra
// bytes (offset 0) from the end of a successful WM_CREATE (AttachRecord)
// until WM_DESTROY (DetachRecord, then the control frees it). A message that
// finds no record goes to the default window procedure. A record pointer held
// across owner code (a notification, a menu, an editor's loop) may be stale
// afterwards: IsOurRecord says whether it still is the window's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>

// The record of `window`, or null (no window, before creation, after
// destruction).
void* ControlRecord(HWND window);
template <typename Record>
Record* RecordOf(HWND window) {
  return static_cast<Record*>(ControlRecord(window));
}

// A zeroed record for WM_CREATE, or null (creation then fails) when there
// is no creation parameter or no memory. Freed with std::free.
template <typename Record>
Record* NewRecord(const void* creation) {
  return creation ? static_cast<Record*>(std::calloc(1, sizeof(Record))) : nullptr;
}

void AttachRecord(HWND window, void* record);
void DetachRecord(HWND window);

// True while `window` exists and still holds `record`.
bool IsOurRecord(HWND window, const void* record);

// WM_MOUSEACTIVATE: the control takes the keyboard focus; the default
// processing then runs (the caller's `return DefWindowProcA`).
void TakeFocusOnActivate(HWND window);

// The messages the knob, slider, image button and list controls handle
// alike, tried before their own switch: WM_MOUSEACTIVATE takes the focus,
// and Tab, Shift+Tab and Escape go on to `owner`, whose CycleFocus moves
// the focus (or closes). Returns true with `*result` set when `message` is
// handled.
bool OnCommonControlMessage(HWND window, HWND owner, UINT message, WPARAM wparam, LPARAM lparam,
                            LRESULT* result);

// Where a control goes: the first fields of every creation record.
struct ControlPlacement {
  HWND parent;
  int32_t x, y;  // in the parent's client area
  uint16_t id;
};
inline ControlPlacement PlaceControl(HWND parent, int id, int x, int y) {
  return {parent, x, y, static_cast<uint16_t>(id)};
}

// How every control's window procedure starts: WM_CREATE goes to
// `on_create`; a message that finds no record goes to the default window
// procedure; the messages all controls answer alike are answered (their
// owner is the parent window). Returns true with `*result` set when the
// message is handled; otherwise `*record` is the control's record, for the
// control's own switch.
template <typename Record>
bool HandledBySkeleton(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                       LRESULT (*on_create)(HWND, const CREATESTRUCTA*), Record** record,
                       LRESULT* result) {
  if (message == WM_CREATE) {
    *result = on_create(window, reinterpret_cast<const CREATESTRUCTA*>(lparam));
    return true;
  }
  *record = RecordOf<Record>(window);
  if (!*record) {
    *result = DefWindowProcA(window, message, wparam, lparam);
    return true;
  }
  return OnCommonControlMessage(window, GetParent(window), message, wparam, lparam, result);
}
