// The run's log (see run_log.h).
//
// How it works. OpenRunLog formats the day's names in turn and creates each
// with CREATE_NEW and FILE_FLAG_OPEN_REPARSE_POINT: an existing name, file
// or link, fails with "exists" and the next number is tried; any other
// failure ends the search. Each line is formed in one buffer, written with
// one WriteFile and flushed (FlushFileBuffers) under a lock.
#include "setup/log/run_log.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "setup/paths/path_text.h"

static HANDLE g_log = nullptr;
static char g_log_path[kPathSize];

static CRITICAL_SECTION* LogLock() {
  static CRITICAL_SECTION lock;
  static const bool made = (InitializeCriticalSection(&lock), true);
  (void)made;
  return &lock;
}

int OpenRunLog(const char* folder, char* path, size_t path_size) {
  if (path_size == 0) return 0;
  path[0] = '\0';
  SYSTEMTIME today;
  GetLocalTime(&today);
  for (int number = 1; number <= kMaxRunLogNumber; ++number) {
    char name[64];
    std::snprintf(name, sizeof name, "BrindlemoorSetup %04u-%02u-%02u #%03d.log", today.wYear,
                  today.wMonth, today.wDay, number);
    if (!JoinPath(path, path_size, folder, name)) return 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      EnterCriticalSection(LogLock());
      g_log = file;
      std::snprintf(g_log_path, sizeof g_log_path, "%s", path);
      LeaveCriticalSection(LogLock());
      return 1;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  path[0] = '\0';
  return 0;
}

int IsRunLogOpen() {
  EnterCriticalSection(LogLock());
  const int open = g_log != nullptr;
  LeaveCriticalSection(LogLock());
  return open;
}

const char* RunLogPath() { return g_log != nullptr ? g_log_path : ""; }

void LogRun(const char* format, ...) {
  EnterCriticalSection(LogLock());
  if (g_log != nullptr) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[4096];
    int n = std::snprintf(line, sizeof line, "%02u:%02u:%02u.%03u  ", now.wHour, now.wMinute,
                          now.wSecond, now.wMilliseconds);
    va_list arguments;
    va_start(arguments, format);
    // Room is left for the line end; what vsnprintf writes is terminated.
    const size_t room = sizeof line - 2 - static_cast<size_t>(n);
    const int text = std::vsnprintf(line + n, room, format, arguments);
    va_end(arguments);
    if (text < 0) {
      // Nothing it wrote can be trusted: a fixed text instead.
      n += std::snprintf(line + n, room, "(a line that could not be written: %s)", format);
      n = std::min(n, static_cast<int>(sizeof line) - 3);
    } else if (static_cast<size_t>(text) >= room) {
      // Cut: the end of what fitted becomes "...".
      n = static_cast<int>(sizeof line) - 3 - 3;
      line[n++] = '.';
      line[n++] = '.';
      line[n++] = '.';
    } else {
      n += text;
    }
    line[n++] = '\r';
    line[n++] = '\n';
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(n), &written, nullptr);
    FlushFileBuffers(g_log);
  }
  LeaveCriticalSection(LogLock());
}

void WithRunLogParagraph(const char* text, char* out, size_t out_size) {
  if (out_size == 0) return;
  EnterCriticalSection(LogLock());
  if (g_log != nullptr) {
    std::snprintf(out, out_size, "%s\n\nThe log of this run:\n%s", text, g_log_path);
  } else {
    std::snprintf(out, out_size, "%s", text);
  }
  LeaveCriticalSection(LogLock());
}

void CloseRunLog() {
  EnterCriticalSection(LogLock());
  if (g_log != nullptr) CloseHandle(g_log);
  g_log = nullptr;
  g_log_path[0] = '\0';
  LeaveCriticalSection(LogLock());
}
