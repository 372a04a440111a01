// The installer's command line: see command_line.h.
#include "setup/installer/command_line.h"

#include <cstring>

InstallerFlags ParseInstallerCommandLine(const char* arguments) {
  InstallerFlags flags = {0, 0, 0, 0};
  if (!arguments || std::strlen(arguments) < 2) return flags;
  for (const char* at = std::strchr(arguments, '-'); at; at = std::strchr(at, '-')) {
    const char letter = at[1];
    if (letter == 'h' || letter == 'H') flags.silent = 1;
    if (letter == 'u' || letter == 'U') flags.auto_remove = 1;
    if (letter == 'i') flags.auto_install = 1;
    if (letter == 'l' || letter == 'L') flags.log = 1;
    if (letter == '\0') break;
    at += 2;  // the letter has been looked at; scan on after it
  }
  return flags;
}
