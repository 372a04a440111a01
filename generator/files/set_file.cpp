// The current-set file on Windows: see set_file.h.
//
// Saving never puts the set the user had at risk: the new file is written
// beside the old one under the name "<file>.new", flushed, and only a complete
// one replaces the old file, in one step (MoveFileExA). A failed write (a full
// disk, a locked file) leaves the old file as it was and removes the new one.
// The new file is made fresh (CREATE_NEW, not through a reparse point): a
// link someone puts at its name is never written through.
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

// Removes what an interrupted save left at the new file's name, when it is
// that: a plain file with no other name. Read-only, hidden or system, it
// would otherwise stop every later save. The handle is taken on the name
// itself, never through a link, and what it holds is checked before it is
// changed: anything else (a link, a folder, a file with other names) stays,
// and the save, which creates the name afresh, then fails.
static void RemoveLeftover(const char* fresh) {
  HANDLE file = CreateFileA(fresh, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    FILE_BASIC_INFO basic;
    std::memset(&basic, 0, sizeof basic);  // zero times: left as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO gone = {TRUE};
    SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
  }
  CloseHandle(file);
}

int WriteSetFile(const char* path, const void* header, size_t header_bytes, const void* body,
                 size_t body_bytes) {
  char fresh[kPathBytes + 8];
  const int n = std::snprintf(fresh, sizeof fresh, "%s.new", path);
  if (n < 0 || static_cast<size_t>(n) >= sizeof fresh) return 0;
  RemoveLeftover(fresh);
  // Only a file this save makes is written: whatever appeared at the name
  // since (a link put there to aim the write elsewhere) makes the create fail.
  HANDLE file = CreateFileA(fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
