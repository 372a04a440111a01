// The operations of held_folders.h on the file system.
//
// A folder below an open folder is opened with NtCreateFile relative to the
// open folder's handle (the Win32 calls take whole paths only), with
// FILE_OPEN_REPARSE_POINT so that a junction or symbolic link at the name is
// opened as itself; its attributes, read through the handle, must say
// "folder" and not "reparse point". The handle asks for listing access and
// shares reading and writing but not deletion: while it is open, nobody can
// open the folder for deletion, which renaming and deleting it need. Files
// are made with FILE_CREATE (which fails on any existing name, a link
// included) and deleted, like the last folder, through a handle of their
// own with the delete disposition; a folder that is not empty refuses it.
// Names are ANSI text of the system code page, turned into UTF-16 here.
#include <windows.h>
#include <winternl.h>

#include "setup/system/held_folders.h"

constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// NtCreateFile of `name` below `folder`; null on failure.
static HANDLE OpenBelow(HANDLE folder, const char* name, ACCESS_MASK access, ULONG share,
                        ULONG disposition, ULONG options) {
  WCHAR wide[MAX_PATH];
  const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_PATH);
  if (length <= 1) return nullptr;
  UNICODE_STRING text;
  text.Buffer = wide;
  text.Length = static_cast<USHORT>((length - 1) * sizeof(WCHAR));
  text.MaximumLength = static_cast<USHORT>(length * sizeof(WCHAR));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result =
      NtCreateFile(&handle, access, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                   disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return NT_SUCCESS(result) ? handle : nullptr;
}

// Marks what `handle` names for deletion when its last handle closes: 1, or
// 0 when it can't go (a folder that is not empty, a read-only file).
static int DeleteThrough(HANDLE handle) {
  FILE_DISPOSITION_INFORMATION disposition;
  disposition.DoDeleteFile = TRUE;
  IO_STATUS_BLOCK status = {};
  return NT_SUCCESS(NtSetInformationFile(handle, &status, &disposition, sizeof disposition,
                                         FileDispositionInformation))
             ? 1
             : 0;
}

// The folder `name` below `parent` (or the full path `name`), opened with
// `access` without following a link: null unless it is a plain folder.
static HANDLE OpenPlainFolder(HANDLE parent, const char* name, int create, ACCESS_MASK access) {
  HANDLE folder = nullptr;
  if (parent == nullptr) {
    folder = CreateFileA(name, access, kHoldShare, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return nullptr;
  } else {
    folder = OpenBelow(parent, name, access, kHoldShare, create ? FILE_OPEN_IF : FILE_OPEN,
                       FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
    if (folder == nullptr) return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD kLinkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (!GetFileInformationByHandle(folder, &info) ||
      (info.dwFileAttributes & kLinkedFolder) != FILE_ATTRIBUTE_DIRECTORY) {
    CloseHandle(folder);
    return nullptr;
  }
  return folder;
}

static void* OpenFolder(void*, void* parent, const char* name, int create, int removable) {
  HANDLE held = static_cast<HANDLE>(parent);
  HANDLE folder = OpenPlainFolder(held, name, create, kFolderAccess | (removable ? DELETE : 0));
  // Someone who holds the folder open without sharing deletion (a command
  // prompt working in it) keeps it from going; the files in it still can.
  if (folder == nullptr && removable) folder = OpenPlainFolder(held, name, create, kFolderAccess);
  return folder;
}

static int DeleteHeldFile(void*, void* folder, const char* name) {
  HANDLE file = OpenBelow(static_cast<HANDLE>(folder), name, DELETE | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                          FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
  if (file == nullptr) return 0;
  const int deleted = DeleteThrough(file);
  CloseHandle(file);
  return deleted;
}

static int WriteNewFile(void*, void* folder, const char* name, const void* bytes, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  HANDLE file = OpenBelow(static_cast<HANDLE>(folder), name, GENERIC_WRITE | DELETE | SYNCHRONIZE,
                          0, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
  if (file == nullptr) return 0;
  DWORD written = 0;
  const int ok = WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) &&
                 written == static_cast<DWORD>(size);
  if (!ok) DeleteThrough(file);  // no half a file under the name
  CloseHandle(file);
  return ok;
}

static int RemoveHeldFolder(void*, void* folder) {
  return DeleteThrough(static_cast<HANDLE>(folder));
}

static void CloseHeld(void*, void* folder) { CloseHandle(static_cast<HANDLE>(folder)); }

HeldFolderOps SystemHeldFolderOps() {
  HeldFolderOps ops = {};
  ops.open = OpenFolder;
  ops.delete_file = DeleteHeldFile;
  ops.write_new_file = WriteNewFile;
  ops.remove_folder = RemoveHeldFolder;
  ops.close = CloseHeld;
  return ops;
}
