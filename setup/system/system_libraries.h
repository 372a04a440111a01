// Where the installer loads libraries from: the system folder only, so that
// a DLL placed next to an elevated installer in a download folder is never
// loaded.
#pragma once

#include <windows.h>

// Restricts where this process loads DLLs from to the system folder, where
// the system offers that (SetDefaultDllDirectories), and takes the current
// folder out of the search otherwise. Call first thing at start-up: an
// elevated installer started from a download folder must not load a DLL
// that someone placed next to it.
void RestrictDllSearch();

// The system folder's `name`, loaded by its full path with its own imports
// looked for beside it: null when it is not there. The caller frees it.
HMODULE LoadSystemLibrary(const char* name);

// The library at the full path `path` (a product library in the product
// folder), its imports looked for in its own folder and the system folder
// only where the system can restrict the search, else beside it first (the
// altered search path). The caller frees it.
HMODULE LoadLibraryWithSystemImports(const char* path);

// Loads, by their full paths in the system folder, the libraries that the
// system's own libraries would load by name on the installer's ways, and
// keeps them loaded. RestrictDllSearch does this where the system can't
// restrict the search; start-up only.
void PreloadSystemLibraries();
