// The NT calls of held-folder work (nt_file_calls.h) on Windows.
//
// Opens go through NtCreateFile, relative to an open folder's handle (the
// Win32 calls take whole paths only) or, for a full path, from the "\??\"
// form of the path, so that the options reach the file system as given. Every
// handle is synchronous. Names are ANSI text of the system code page, turned
// into UTF-16 here.
#include <windows.h>
#include <winternl.h>

#include <cstring>

#include "setup/system/held_folders.h"

// The NT form of `name`: as it is below a folder, "\??\C:\..." for a drive
// path and "\??\UNC\server\share..." for a network path. 0 when it does not
// fit.
static int NtName(const char* name, bool full_path, WCHAR* out, int out_size) {
  const WCHAR* prefix = L"";
  if (full_path) prefix = (name[0] == '\\' && name[1] == '\\') ? L"\\??\\UNC" : L"\\??\\";
  const int prefix_length = static_cast<int>(lstrlenW(prefix));
  if (full_path && name[0] == '\\') ++name;  // "\\server" after "\??\UNC" keeps one '\'
  if (prefix_length >= out_size) return 0;
  std::memcpy(out, prefix, sizeof(WCHAR) * static_cast<size_t>(prefix_length));
  const int length =
      MultiByteToWideChar(CP_ACP, 0, name, -1, out + prefix_length, out_size - prefix_length);
  return length > 1 ? prefix_length + length - 1 : 0;
}

static void* Create(void*, void* parent, const char* name, uint32_t access, uint32_t share,
                    uint32_t disposition, uint32_t options) {
  WCHAR wide[MAX_PATH + 16];
  const int length = NtName(name, parent == nullptr, wide, MAX_PATH + 16);
  if (length == 0) return nullptr;
  UNICODE_STRING text;
  text.Buffer = wide;
  text.Length = static_cast<USHORT>(length * sizeof(WCHAR));
  text.MaximumLength = static_cast<USHORT>((length + 1) * sizeof(WCHAR));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, static_cast<HANDLE>(parent),
                             nullptr);
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, share, disposition,
                                       options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return NT_SUCCESS(result) ? handle : nullptr;
}

static uint32_t Attributes(void*, void* handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(static_cast<HANDLE>(handle), &info) ? info.dwFileAttributes : 0;
}

static int FinalPath(void*, void* handle, char* out, size_t out_size) {
  char path[1024];
  const DWORD length = GetFinalPathNameByHandleA(static_cast<HANDLE>(handle), path, sizeof path,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof path) return 0;
  // "\\?\C:\..." is "C:\...", "\\?\UNC\server\..." is "\\server\...".
  const char* dos = path;
  char unc[sizeof path];
  if (std::strncmp(path, "\\\\?\\UNC\\", 8) == 0) {
    unc[0] = '\\';
    lstrcpynA(unc + 1, path + 7, sizeof unc - 1);
    dos = unc;
  } else if (std::strncmp(path, "\\\\?\\", 4) == 0) {
    dos = path + 4;
  }
  if (std::strlen(dos) >= out_size) return 0;
  lstrcpynA(out, dos, static_cast<int>(out_size));
  return 1;
}

static int64_t Read(void*, void* handle, uint64_t offset, void* bytes, size_t size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD asked = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
  if (ReadFile(static_cast<HANDLE>(handle), bytes, asked, &got, &at)) return got;
  return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

static int Write(void*, void* handle, const void* bytes, size_t size) {
  const char* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const DWORD part = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle), at, part, &written, nullptr) || written == 0) {
      return 0;
    }
    at += written;
    size -= written;
  }
  return 1;
}

static int DeleteOnClose(void*, void* handle) {
  FILE_DISPOSITION_INFORMATION disposition;
  disposition.DoDeleteFile = TRUE;
  IO_STATUS_BLOCK status = {};
  return NT_SUCCESS(NtSetInformationFile(static_cast<HANDLE>(handle), &status, &disposition,
                                         sizeof disposition, FileDispositionInformation))
             ? 1
             : 0;
}

static void Close(void*, void* handle) { CloseHandle(static_cast<HANDLE>(handle)); }

const NtFileCalls* SystemNtFileCalls() {
  static const NtFileCalls calls = {nullptr, Create, Attributes,    FinalPath,
                                    Read,    Write,  DeleteOnClose, Close};
  return &calls;
}

HeldFolderOps SystemHeldFolderOps() { return HeldFolderOpsOver(SystemNtFileCalls()); }
