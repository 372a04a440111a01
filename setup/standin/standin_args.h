// Command lines of the stand-in product's programs, without their platform.
//
// The installer starts the driver setup program with "-h -i -H -n" (install)
// or "-h -u -H" (remove), and the registration program with " -f<library>"
// or " -u  -f<library>". The program name is not part of either text: the
// installer passes it separately as the application name. Kept portable so
// that the parsing is tested on the host.
#pragma once

#include <cstddef>

// What the driver setup program is asked to do.
enum DriverSetupAction : int {
  kDriverSetupNothing = 0,
  kDriverSetupInstall = 1,
  kDriverSetupRemove = 2,
};

// Scans "-x" switches: "i" installs, "u" removes (the last of them wins),
// any other letter is ignored.
int ParseDriverSetupArguments(const char* arguments);

// The registration program's command line: `unregister` := 1 when a "-u"
// switch stands before "-f"; the library path is everything after "-f" up to
// the end of the text, trailing blanks cut (paths hold blanks and come without
// quotes). 1 when there is a non-empty path that fits `path_size` bytes,
// else 0 with `path` empty.
int ParseRegistrationArguments(const char* arguments, int* unregister, char* path,
                               size_t path_size);
