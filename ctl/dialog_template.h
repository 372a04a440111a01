// In-memory dialog templates for the library's dialogs and the host's: a
// template without items, from global memory, as the dialog functions take.
#pragma once

#include <windows.h>

// A zeroed 1,024-byte block of global memory holding a template with the
// given styles, position and size (dialog units) and no items, menu, class or
// title. Returns null when the memory cannot be had; the caller frees it with
// GlobalFree once the dialog is gone.
HGLOBAL BuildDialogTemplate(DWORD style, DWORD ex_style, int x, int y, int width, int height);

// Runs a modal dialog from `template_memory` (as BuildDialogTemplate makes
// it). Returns what EndDialog was given, or -1 when it could not be created.
INT_PTR RunDialogTemplate(HGLOBAL template_memory, HWND owner, DLGPROC procedure, LPARAM param);

// Creates a modeless dialog from `template_memory`; null on failure.
HWND CreateDialogFromTemplate(HGLOBAL template_memory, HWND owner, DLGPROC procedure, LPARAM param);
