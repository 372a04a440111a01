// Typed values: see value_entry.h.
#include "generator/app/value_entry.h"

#include <cstdlib>
#include <cstring>

#include "ctl/qx2ctl.h"

bool AskForValue(HWND window, POINT at, const char* initial, double* value) {
  ClientToScreen(window, &at);
  char* answer = OpenQuickEdit(window, kTextStyleValue, at.x, at.y, 100, 20, initial);
  if (!answer) return false;
  const bool typed = answer[0] != '\0' && std::strcmp(answer, initial) != 0;
  *value = static_cast<double>(ParseValue(answer));
  std::free(answer);
  return typed;
}
