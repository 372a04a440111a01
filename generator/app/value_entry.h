// Typed values of the panel and the options window: a quick edit box and
// the rule for what counts as an answer.
#pragma once

#include <windows.h>

// A quick edit box under `window` at client point `at`, opened with
// `initial`; stores the typed value in `value` and returns true only when
// the user typed something other than the initial text (an untouched Enter
// keeps the value as it is, however the text rounded it).
bool AskForValue(HWND window, POINT at, const char* initial, double* value);
