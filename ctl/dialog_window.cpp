// The value dialogs' skeleton: see dialog_window.h.
#include "ctl/dialog_window.h"

#include "ctl/library_state.h"

void* DialogRecord(HWND dialog) {
  return dialog ? reinterpret_cast<void*>(GetWindowLongPtrA(dialog, DWLP_USER)) : nullptr;
}

void AttachDialogRecord(HWND dialog, void* record) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
}

void DetachDialogRecord(HWND dialog) { SetWindowLongPtrA(dialog, DWLP_USER, 0); }

INT_PTR EraseToTiledBackground(HWND dialog, HDC dc) {
  RECT client;
  GetClientRect(dialog, &client);
  TileBackground(dc, &client);
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
  return TRUE;
}
