// Typed values: see value_entry.h.
#include "generator/app/value_entry.h"

#include <cstdlib>

#include "ctl/qx2ctl.h"

bool AskForValue(HWND window, POINT at, const char* initial, double* value,
                 const double* minus_infinity) {
  ClientToScreen(window, &at);
  int edited = 0;
  char* answer = OpenQuickEdit(window, kTextStyleValue, at.x, at.y, 100, 20, initial, &edited);
  if (!answer) return false;
  bool taken = false;
  if (edited && minus_infinity != nullptr && IsMinusInfinity(answer)) {
    *value = *minus_infinity;
    taken = true;
  } else if (edited) {
    long double typed = 0;
    taken = ParseTypedValue(answer, &typed) != 0;
    if (taken) *value = static_cast<double>(typed);
  }
  std::free(answer);
  return taken;
}
