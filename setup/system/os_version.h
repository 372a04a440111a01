// The Windows version as the installer names it.
#pragma once

// OS codes: 0 "< XP" (5.0 and older x.0), 1 XP, 2 5.2, 3 Vista (6.0, and 6.1
// on a server), 4 Windows 7 (6.1 workstation), 5 Windows 8 (6.2), -1 unknown.
constexpr int kOsUnknown = -1;

// The code for a version; `known` 0 when no version information was had.
// `product_type` is VER_NT_WORKSTATION (1), a domain controller or a server.
int ClassifyOs(int known, unsigned major, unsigned minor, int product_type);

// The line painted for a code: "O/S: WIN7" and the like.
const char* OsText(int os_code);
