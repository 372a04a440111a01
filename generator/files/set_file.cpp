// The current-set file on Windows: see set_file.h.
//
// Saving never puts the set the user had at risk: the new file is written
// beside the old one under the name "<file>.new", flushed, and only a complete
// one replaces the old file, in one step (MoveFileExA). A failed write (a full
// disk, a locked file) leaves the old file as it was and removes the new one.
#include "generator/files/set_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

// Writes all of `bytes`; WriteFile may write less than asked.
static bool WriteAll(HANDLE file, const void* bytes, size_t count) {
  DWORD written = 0;
  if (count > 0xFFFFFFFFu) return false;
  return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) &&
         written == static_cast<DWORD>(count);
}

static bool ReadAll(HANDLE file, void* bytes, size_t count) {
  DWORD got = 0;
  if (count > 0xFFFFFFFFu) return false;
  return ReadFile(file, bytes, static_cast<DWORD>(count), &got, nullptr) &&
         got == static_cast<DWORD>(count);
}

int WriteSetFile(const char* path, const void* header, size_t header_bytes, const void* body,
                 size_t body_bytes) {
  char fresh[kPathBytes + 8];
  const int n = std::snprintf(fresh, sizeof fresh, "%s.new", path);
  if (n < 0 || static_cast<size_t>(n) >= sizeof fresh) return 0;
  // A leftover of an interrupted save goes first: one that is read-only,
  // hidden or system would refuse CREATE_ALWAYS, and every later save with it.
  SetFileAttributesA(fresh, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(fresh);
  HANDLE file =
      CreateFileA(fresh, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const bool written = WriteAll(file, header, header_bytes) && WriteAll(file, body, body_bytes) &&
                       FlushFileBuffers(file);
  CloseHandle(file);
  if (written && MoveFileExA(fresh, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 1;
  }
  DeleteFileA(fresh);
  return 0;
}

int ReadSetFile(const char* path, void* header, size_t header_bytes, void* body,
                size_t body_bytes) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const bool ok = ReadAll(file, header, header_bytes) && ReadAll(file, body, body_bytes);
  CloseHandle(file);
  return ok ? 1 : 0;
}

int InitSetFilePath(char* directory, size_t directory_bytes, char* path, size_t path_bytes) {
  if (path_bytes > 0) path[0] = '\0';
  if (directory_bytes > 0) directory[0] = '\0';
  char current[1001];
  const DWORD length = GetCurrentDirectoryA(sizeof current, current);
  if (length == 0 || length >= sizeof current) return 0;  // unreadable, or over 1000 characters
  if (length >= directory_bytes) return 0;
  std::memcpy(directory, current, length + 1);
  return BuildSetFilePath(current, path, path_bytes);
}
