// The skeleton the library's three value dialogs share (the quick edit box,
// the precision window, the time-entry dialog). Internal to the library.
//
// The one ownership rule, as for controls (control_window.h): a dialog's
// record lives in DWLP_USER from the start of WM_INITDIALOG, which brings it
// as the creation parameter, until WM_DESTROY detaches it. A message that
// finds no record is left to the dialog manager.
#pragma once

#include <windows.h>

// The record of `dialog`, or null (no dialog, before WM_INITDIALOG, after
// WM_DESTROY).
void* DialogRecord(HWND dialog);
template <typename Record>
Record* DialogRecordOf(HWND dialog) {
  return static_cast<Record*>(DialogRecord(dialog));
}

void AttachDialogRecord(HWND dialog, void* record);
void DetachDialogRecord(HWND dialog);

// WM_ERASEBKGND of a dialog on the library's tiled background: TRUE, with
// the message's result set.
INT_PTR EraseToTiledBackground(HWND dialog, HDC dc);

// How each dialog procedure starts: WM_INITDIALOG goes to `on_init` with the
// record it brings (which that attaches); a message that finds no record is
// not handled (FALSE). Returns true with `*result` set when the message is
// handled; otherwise `*record` is the dialog's record, for its own switch.
template <typename Record>
bool HandledByDialogSkeleton(HWND dialog, UINT message, LPARAM lparam,
                             INT_PTR (*on_init)(HWND, Record*), Record** record, INT_PTR* result) {
  if (message == WM_INITDIALOG) {
    *result = on_init(dialog, reinterpret_cast<Record*>(lparam));
    return true;
  }
  *record = DialogRecordOf<Record>(dialog);
  if (!*record) {
    *result = FALSE;
    return true;
  }
  return false;
}
