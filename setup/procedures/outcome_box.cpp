// The outcome box (see outcome_box.h).
#include "setup/procedures/outcome_box.h"

#include "setup/log/run_log.h"
#include "setup/paths/path_text.h"

int ShowOutcomeBox(HWND owner, const char* text, const char* caption, UINT type) {
  char shown[4096 + kPathSize];
  WithRunLogParagraph(text, shown, sizeof shown);
  return MessageBoxA(owner, shown, caption, type);
}
