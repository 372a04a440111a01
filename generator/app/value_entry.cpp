// Typed values: see value_entry.h.
#include "generator/app/value_entry.h"

#include <cstdio>
#include <cstdlib>

#include "ctl/qx2ctl.h"

bool AskForValue(HWND window, POINT at, const char* initial, double* value,
                 const double* minus_infinity) {
  char answer[256];
  if (!AskForText(window, at, initial, answer, sizeof answer)) return false;
  if (minus_infinity != nullptr && IsMinusInfinity(answer)) {
    *value = *minus_infinity;
    return true;
  }
  long double typed = 0;
  if (!ParseTypedValue(answer, &typed)) return false;
  *value = static_cast<double>(typed);
  return true;
}

bool AskForText(HWND window, POINT at, const char* initial, char* out, size_t size) {
  ClientToScreen(window, &at);
  int edited = 0;
  char* answer = OpenQuickEdit(window, kTextStyleValue, at.x, at.y, 100, 20, initial, &edited);
  if (!answer) return false;
  if (edited) std::snprintf(out, size, "%s", answer);
  std::free(answer);
  return edited != 0;
}
