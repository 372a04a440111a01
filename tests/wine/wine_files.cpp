// Paths and folders in the Wine tests: see wine_files.h.
#include "tests/wine/wine_files.h"

#include <windows.h>

std::string WindowsPathOf(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

int RunOnHost(const std::string& command) {
  // Wine starts a Unix program given by its Unix path.
  std::string line = "/bin/sh -c \"" + command + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string UnixPathOf(const std::string& windows_path) {
  // Wine's own mapping covers every drive; the plain form serves drive Z:.
  typedef char*(CDECL * UnixFileNameFn)(LPCWSTR);
  auto unix_file_name = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  WCHAR wide[MAX_PATH];
  if (unix_file_name != nullptr &&
      MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, wide, MAX_PATH) > 0) {
    char* mapped = unix_file_name(wide);
    if (mapped != nullptr) {
      std::string path(mapped);
      HeapFree(GetProcessHeap(), 0, mapped);
      return path;
    }
  }
  std::string path = windows_path.substr(2);  // after "Z:"
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}
