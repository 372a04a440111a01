// The message box a visible run ends with: the outcome, and where the run's
// log is when there is one.
#pragma once

#include <windows.h>

// MessageBoxA with `text` and, while a log is open, a last paragraph that
// names the log's file (WithRunLogParagraph). The box's answer. Window
// thread.
int ShowOutcomeBox(HWND owner, const char* text, const char* caption, UINT type);
