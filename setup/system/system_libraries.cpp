// Where the installer loads DLLs from: the system folder only.
//
// The installer runs as administrator and is typically started from a
// download folder, which anyone may have put a DLL into. The loader looks in
// the program's own folder first; SetDefaultDllDirectories (Windows 8, and
// Windows 7 and Vista with update KB2533623) takes it and the current folder
// out of the search for every later load. Where that function is missing,
// SetDllDirectoryA("") at least takes the current folder out, and every
// library the installer loads by name goes through LoadSystemLibrary, which
// names the system folder's copy by its full path. The system's own
// libraries load others by name too (the shell, COM, the themes, the
// security calls), and the program's folder still comes first for those; so
// there the libraries they load on the installer's ways are loaded from the
// system folder by their full paths first, and stay loaded: a later load by
// name finds the module already there. Each is loaded with the altered
// search path, so that the libraries it imports in turn are looked for
// beside it, in the system folder, not in the program's folder. The
// functions are looked up by name so that the installer still starts on
// systems that lack them.
#include "setup/system/system_libraries.h"

#include <windows.h>

#include "setup/paths/path_text.h"

// 1 when this system restricts the search (SetDefaultDllDirectories took).
static int g_search_restricted = 0;

void RestrictDllSearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCSTR);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  g_search_restricted = set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!g_search_restricted) PreloadSystemLibraries();
  auto set_directory = reinterpret_cast<SetDllDirectoryFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  if (set_directory != nullptr) set_directory("");
}

void PreloadSystemLibraries() {
  // Loaded by name by the system libraries on the installer's ways: the
  // window themes, the shell, COM, the device setup, the access control
  // calls and the shell links. Those that are KnownDLLs on some version come
  // from the system folder there anyway.
  static const char* const kLoadedByName[] = {
      "uxtheme.dll", "dwmapi.dll",   "cryptbase.dll", "propsys.dll", "apphelp.dll", "userenv.dll",
      "profapi.dll", "version.dll",  "ntmarta.dll",   "oleacc.dll",  "clbcatq.dll", "setupapi.dll",
      "devobj.dll",  "linkinfo.dll", "ntshrui.dll",   "cscapi.dll",  "srvcli.dll",  "shfolder.dll",
  };
  for (const char* name : kLoadedByName) LoadSystemLibrary(name);  // missing ones are skipped
}

HMODULE LoadSystemLibrary(const char* name) {
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system) return nullptr;
  char path[kPathSize];
  if (!JoinPath(path, sizeof path, system, name)) return nullptr;
  // Its own imports from beside it, the system folder, never the program's.
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadLibraryWithSystemImports(const char* path) {
  // The altered search path ends with the current folder and the user's
  // PATH; the search flags name the library's folder and the system's only.
  if (g_search_restricted) {
    return LoadLibraryExA(path, nullptr,
                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
