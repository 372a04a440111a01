// The Windows version as the installer names it: see os_version.h.
#include "setup/system/os_version.h"

int ClassifyOs(int known, unsigned major, unsigned minor, int product_type) {
  if (!known) return kOsUnknown;
  if (major <= 5) {
    if (minor == 0) return 0;
    return minor == 2 ? 2 : 1;
  }
  if (major != 6) return kOsUnknown;
  switch (minor) {
    case 0: return 3;
    case 1: return product_type == 1 ? 4 : 3;
    case 2: return 5;
    default: return kOsUnknown;
  }
}

const char* OsText(int os_code) {
  switch (os_code) {
    case 0: return "O/S: < XP";
    case 1: return "O/S: WIN XP";
    case 3: return "O/S: VISTA";
    case 4: return "O/S: WIN7";
    case 5: return "O/S: WIN8";
    default: return "O/S: unknown";
  }
}
