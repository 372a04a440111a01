// The installer's command line: "-" followed by a switch letter.
// "h"/"H" silent, "u"/"U" remove, "i" (lower case only) install, "l"/"L"
// log the run; any other letter is ignored, and only the first letter after
// each "-" counts.
#pragma once

#include "setup/procedures/install_results.h"
#include "setup/procedures/installer_flags.h"

// The exit code of a hidden run without an action ("-h" without "-i" or
// "-u"): it ends at once, touching nothing. No other outcome has this code.
constexpr int kNoActionExitCode = kResultNothingToDo;

// Scans the text after the program name. A text shorter than 2 characters is
// not scanned (all flags 0).
InstallerFlags ParseInstallerCommandLine(const char* arguments);
