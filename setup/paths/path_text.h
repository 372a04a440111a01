// Windows path texts without the Windows API: the installer's path buffers,
// joining a folder and a name, and which names Windows opens exactly as
// they are written.
#pragma once

#include <cstddef>

constexpr size_t kPathSize = 1024;  // every path buffer of the installer

// JoinPath: `folder`, then a '\' unless `folder` already ends with one, then
// `name`, into `out` (`out_size` bytes). Returns 1, or 0 with `out` empty when
// the result does not fit. An empty folder gives "\name". `out` may be
// `folder` itself.
int JoinPath(char* out, size_t out_size, const char* folder, const char* name);

// The name of a '\'-separated sub-path ("QX\Brindlemoor") that starts at
// `at`, copied into `name` (`name_size` bytes): where the next name starts
// (the terminating NUL after the last), or null when the name is empty or
// does not fit.
const char* NextSubPathName(const char* at, char* name, size_t name_size);

// One component of a path, `length` characters without separators: 1 when
// Windows opens exactly this name in its folder. Empty names, names of dots
// and blanks only ("..", "...", ". "), a ':' (a drive or a stream), control
// characters, a separator, a trailing '.' or blank (Windows drops them:
// "readme.txt." opens "readme.txt") and device names (CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 in any case, with or without an
// extension or trailing blanks) give 0.
int IsPlainPathComponent(const char* component, size_t length);

// The same for a NUL-terminated name (a folder listing's item).
int IsPlainFileName(const char* name);

// 1 when the full path `path` lies strictly inside the folder `folder`: it
// starts with `folder` (ASCII letters in either case) followed by a '', and
// no component after it is empty, "." or "..", which could lead back out.
// Any other difference counts as outside.
int IsInsideFolder(const char* path, const char* folder);
