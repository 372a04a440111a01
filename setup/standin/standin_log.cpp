// The stand-in programs' run log and exit codes (see standin_log.h).
//
// The line is formed in one buffer and written with one WriteFile at the end
// of the file (FILE_APPEND_DATA), so runs of several programs never
// interleave inside a line.
#include "setup/standin/standin_log.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef QX_STANDIN_TEST_HOOKS
// The text of test hook `name` into `text`: 1, or 0 when there is none.
static int ReadTestHook(const char* name, char* text, DWORD size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStandInHooksKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                    &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD bytes = size - 1;  // room for the NUL the value may lack
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && type == REG_SZ && bytes > 0) {
      text[bytes] = '\0';
      if (text[0] != '\0') return 1;
    }
  }
  text[0] = '\0';
  return 0;
}
#endif

static void LogPath(char* path, DWORD size) {
#ifdef QX_STANDIN_TEST_HOOKS
  if (ReadTestHook("QX_STANDIN_LOG", path, size)) return;
#endif
  // The folder of the module that holds this code: a library registered in
  // its host's process logs beside itself, not beside the host program.
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LogPath), &self)) {
    self = nullptr;
  }
  const DWORD m = GetModuleFileNameA(self, path, size);
  if (m == 0 || m >= size) {
    path[0] = '\0';
    return;
  }
  char* slash = std::strrchr(path, '\\');
  char* name = slash != nullptr ? slash + 1 : path;
  const size_t room = size - static_cast<size_t>(name - path);
  std::snprintf(name, room, "standin.log");
}

void AppendStandInLog() {
  char program[MAX_PATH];
  const DWORD m = GetModuleFileNameA(nullptr, program, sizeof program);
  if (m == 0 || m >= sizeof program) program[0] = '\0';
  const char* slash = std::strrchr(program, '\\');
  const char* name = slash != nullptr ? slash + 1 : program;
  char folder[MAX_PATH];
  const DWORD f = GetCurrentDirectoryA(sizeof folder, folder);
  if (f == 0 || f >= sizeof folder) folder[0] = '\0';

  // The environment the program was given: where its temporary files go and
  // where it finds programs and libraries.
  char temp[MAX_PATH];
  const DWORD t = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
  if (t == 0 || t >= sizeof temp) temp[0] = '\0';
  char search_path[2048];
  const DWORD p = GetEnvironmentVariableA("PATH", search_path, sizeof search_path);
  if (p == 0 || p >= sizeof search_path) search_path[0] = '\0';

  char line[8192];
  const int n = std::snprintf(line, sizeof line, "%s\t%s\t%s\t%s\t%s\r\n", name, GetCommandLineA(),
                              folder, temp, search_path);
  if (n <= 0 || n >= static_cast<int>(sizeof line)) return;

  char path[MAX_PATH];
  LogPath(path, sizeof path);
  if (path[0] == '\0') return;
  HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(log);
}

int ChosenSetupExitCode() {
  constexpr int fallback = 0;
#ifdef QX_STANDIN_TEST_HOOKS
  char text[32];
  if (!ReadTestHook("QX_STANDIN_SETUP_EXIT", text, sizeof text)) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return fallback;
  return static_cast<int>(value);
#else
  return fallback;
#endif
}
