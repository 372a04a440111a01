// The few calls of the NT file API that the installer's work in folders its
// user can change is made of (held_folders.h), as operations passed in: the
// Windows layer passes NtCreateFile and its friends (system_held_folders.cpp),
// the host tests a model file system that follows links and refuses opens
// as Windows does. The flags keep their NT values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "setup/system/folder_security.h"

// Dispositions.
constexpr uint32_t kNtOpen = 1;         // FILE_OPEN: only what exists
constexpr uint32_t kNtCreate = 2;       // FILE_CREATE: only a new name
constexpr uint32_t kNtOpenIf = 3;       // FILE_OPEN_IF
constexpr uint32_t kNtOverwriteIf = 5;  // FILE_OVERWRITE_IF: new, or emptied
// Options.
constexpr uint32_t kNtDirectoryFile = 0x00000001;     // FILE_DIRECTORY_FILE
constexpr uint32_t kNtNonDirectoryFile = 0x00000040;  // FILE_NON_DIRECTORY_FILE
// FILE_OPEN_REPARSE_POINT: a link at the name (the last name of a full path)
// is opened as itself; without it, the open goes on to the link's target,
// and a create makes the target.
constexpr uint32_t kNtOpenReparsePoint = 0x00200000;
// Access.
constexpr uint32_t kNtDelete = 0x00010000;     // DELETE
constexpr uint32_t kNtReadData = 0x00000001;   // FILE_READ_DATA, FILE_LIST_DIRECTORY
constexpr uint32_t kNtWriteData = 0x00000002;  // FILE_WRITE_DATA
constexpr uint32_t kNtTraverse = 0x00000020;   // FILE_TRAVERSE
constexpr uint32_t kNtReadAttributes = 0x00000080;
constexpr uint32_t kNtReadControl = 0x00020000;  // READ_CONTROL: the owner and access list
// Sharing.
constexpr uint32_t kNtShareRead = 1, kNtShareWrite = 2, kNtShareDelete = 4;
// Attributes of what a handle names.
constexpr uint32_t kNtAttributeDirectory = 0x00000010;     // FILE_ATTRIBUTE_DIRECTORY
constexpr uint32_t kNtAttributeReparsePoint = 0x00000400;  // FILE_ATTRIBUTE_REPARSE_POINT

// A plain folder: a folder that is no link (junction or symbolic link).
constexpr bool IsPlainFolderAttributes(uint32_t attributes) {
  return (attributes & (kNtAttributeDirectory | kNtAttributeReparsePoint)) == kNtAttributeDirectory;
}

struct NtFileCalls {
  void* user;
  // Opens `name` below the open folder `parent`, or the full path `name`
  // when `parent` is null (every name of it but the last followed when it is
  // a link). Null on any failure: a missing name with kNtOpen, an existing
  // one with kNtCreate, a folder with kNtNonDirectoryFile, a file with
  // kNtDirectoryFile, a sharing conflict.
  void* (*create)(void* user, void* parent, const char* name, uint32_t access, uint32_t share,
                  uint32_t disposition, uint32_t options);
  // The attributes of what `handle` names (kNtAttribute…), or 0 when unknown.
  uint32_t (*attributes)(void* user, void* handle);
  // The full path that `handle` names, every link on the way resolved, into
  // `out` ("C:\..." or "\\server\share\..."): 1, or 0 when it can't be had.
  int (*final_path)(void* user, void* handle, char* out, size_t out_size);
  // Reads up to `size` bytes at `offset`: the count read (0 at the end), or
  // -1 on failure.
  int64_t (*read)(void* user, void* handle, uint64_t offset, void* bytes, size_t size);
  // Appends `size` bytes: 1 when all were written.
  int (*write)(void* user, void* handle, const void* bytes, size_t size);
  // Marks what `handle` names for deletion when it closes: 1, or 0 when it
  // can't go (a folder that is not empty, a read-only file).
  int (*delete_on_close)(void* user, void* handle);
  void (*close)(void* user, void* handle);
  // The owner and access list of what `handle` names (opened with
  // kNtReadControl), the administrators told apart: 1, or 0 when they can't
  // be read.
  int (*read_security)(void* user, void* handle, FolderSecurity* security);
  // Makes the new folder `name` below the open folder `parent` with
  // ProtectedFolderSecurity from its first moment, opened with `access` and
  // `share`: null when anything has the name already or it can't be made.
  void* (*create_protected_folder)(void* user, void* parent, const char* name, uint32_t access,
                                   uint32_t share);
  // Calls `each` with the name and attributes (kNtAttribute…) of every item
  // of the open folder `folder` but "." and "..", in the order the folder
  // gives them; `each` may delete what it was given. 1 when the listing
  // ended, 0 when it failed.
  int (*list)(void* user, void* folder,
              void (*each)(void* context, const char* name, uint32_t attributes), void* context);
};
