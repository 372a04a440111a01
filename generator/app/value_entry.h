// Typed values of the panel and the options window: a quick edit box and
// the rule for what counts as an answer.
#pragma once

#include <windows.h>

// A quick edit box under `window` at client point `at`, opened with
// `initial`. True, with the typed number in `value`, only when the user
// changed the text and it holds a number: an untouched Enter keeps the value
// however the text rounded it, and an answer without a number ("off", "-",
// "x") changes nothing. Where the value is in decibels,
// `minus_infinity` (when given) is what "-inf" (any case, any blanks)
// stands for: the range's minimum.
bool AskForValue(HWND window, POINT at, const char* initial, double* value,
                 const double* minus_infinity = nullptr);

// The same box, for a text the caller reads itself: true, with the answer
// in `out` (cut at `size` bytes), only when the user changed the text.
bool AskForText(HWND window, POINT at, const char* initial, char* out, size_t size);
