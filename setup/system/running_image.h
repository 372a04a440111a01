// The file of the running program, held open from the start.
//
// Windows lets a running program's file be renamed (not deleted or written),
// so its path may name another file later on; the installer copies itself
// from a handle taken at its start instead.
#pragma once

#include <windows.h>

#include <cstddef>

// Opens the running program's own file for reading, sharing reading only (so
// that nobody can write, rename or delete it while the handle is open), and
// checks that it is the running image (IsImageOfModule). The handle, or null when the file can't be
// opened that way or is another file; `path` gets the program's path either way (empty when it does
// not fit `path_size`). Call first thing at start-up; the caller closes the handle.
HANDLE OpenRunningImage(char* path, size_t path_size);

// Opens the file `path` for reading, sharing reading only: while the handle
// is open, nobody can write, rename or delete it. Null when it can't be had.
HANDLE OpenImageFile(const char* path);

// 1 when the file `file` is the image of the module `module`: its headers
// are those mapped in memory (the image base, which relocation may change,
// left out), and every section the module can't write holds, once the
// file's relocations are applied, what is mapped (the import address table
// left out, which the loader fills).
int IsImageOfModule(HANDLE file, HMODULE module);
