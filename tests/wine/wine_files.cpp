// Paths and folders in the Wine tests: see wine_files.h.
#include "tests/wine/wine_files.h"

#include <windows.h>

#include <cstdlib>

#include "tests/wine/test_waits.h"

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
  // Wine reports a Unix program's process as ended at once, with exit code
  // 0, whatever the program then does; so the command writes its exit code
  // into a file of its own when it is done (whole, by a rename), and this
  // waits for that file.
  static int runs = 0;
  char temp[MAX_PATH];
  if (GetTempPathA(sizeof temp, temp) == 0) return -1;
  const std::string status = std::string(temp) + "run_on_host_" +
                             std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++runs);
  DeleteFileA(status.c_str());
  const std::string unix_status = UnixPathOf(status);
  std::string line = "/bin/sh -c \"(" + command + "); echo $? > '" + unix_status +
                     ".part' && mv '" + unix_status + ".part' '" + unix_status + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HANDLE file = INVALID_HANDLE_VALUE;
  const bool ended = PollUntil(120000, 10, [&] {
    file = CreateFileA(status.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  if (!ended) return -1;
  char text[16] = {0};
  DWORD got = 0;
  ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  DeleteFileA(status.c_str());
  return got > 0 ? std::atoi(text) : -1;
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
