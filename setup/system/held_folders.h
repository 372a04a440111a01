// Files in folders that their user can change, made and removed through
// open folders rather than paths.
//
// The Start-menu folders and the Startup folder lie below folders that the
// signed-in user owns, while the installer runs as administrator. A path
// that was checked may name another place a moment later: the user renames a
// folder on the way and puts a junction in its place, and a deletion or a
// write by path then lands wherever the junction points. So the folders are
// opened one below the other, each through the open folder above it, never
// following a link; each must be a plain folder, and each stays open,
// sharing no deletion, so that nobody can rename, delete or replace it while
// the installer works below it. Below the last one only known names are
// touched: a file is made new (never written through whatever already has
// its name, a link included), a deletion takes the name itself (a file or
// a link, never a link's target, never a real folder), and the last folder
// is removed through its own handle, which fails unless it is empty. The
// first folder, opened by its full path, must be where that path says: a
// link anywhere on the path refuses it.
//
// The product folder below Program Files is held the same way, and also
// checked to be the administrators' alone before anything is written, run
// or removed there (folder_security.h); its removal walks through held
// folders too, so that a folder swapped for a link between a listing and a
// deletion leads nowhere.
//
// The operations are made of a few NT calls (nt_file_calls.h,
// held_folder_calls.cpp): the Windows layer passes NtCreateFile relative to a
// folder handle, the host tests a model file system that follows links as
// Windows does and whose folders can be swapped for links between any two
// steps.
#pragma once

#include <cstddef>

#include "setup/system/nt_file_calls.h"

struct HeldFolderOps {
  void* user;
  // Opens the folder `name` below the open folder `parent`, or the full path
  // `name` when `parent` is null, without following a link at `name`; with
  // `create` makes it when it is missing; with `removable` the handle can
  // remove it where nobody else keeps it open against deletion. Null unless
  // it is a plain folder (no link, no file). The folder can't be renamed or
  // deleted by anyone while it is open.
  void* (*open)(void* user, void* parent, const char* name, int create, int removable);
  // Deletes the file `name` in `folder` (a link itself; never a folder): 1
  // when deleted.
  int (*delete_file)(void* user, void* folder, const char* name);
  // Makes the new file `name` in `folder` holding `size` bytes: 1, or 0 when
  // anything already has that name or the bytes could not all be written
  // (nothing is then left under the name).
  int (*write_new_file)(void* user, void* folder, const char* name, const void* bytes, size_t size);
  // Removes the open folder `folder` itself when it is empty: 1 when removed.
  int (*remove_folder)(void* user, void* folder);
  void (*close)(void* user, void* folder);
  // The open folder's owner and access list: 1, or 0 when they can't be read.
  int (*security)(void* user, void* folder, FolderSecurity* security);
  // Makes the new folder `name` below `parent` with the administrators'
  // protected permissions (ProtectedFolderSecurity) and opens it as `open`
  // does: null when anything has the name already or it can't be made.
  void* (*make_protected)(void* user, void* parent, const char* name);
  // Calls `each` for every item of the open folder `folder` (see
  // NtFileCalls::list): 1 when the listing ended.
  int (*list)(void* user, void* folder,
              void (*each)(void* context, const char* name, uint32_t attributes), void* context);
};

// A file to place: its name in the folder and its bytes.
struct HeldFile {
  const char* name;
  const void* bytes;
  size_t size;
};

// Opens the full path `known` and below it the folders of `sub_path` (names
// separated by '\'; empty for `known` alone), making the missing ones below
// `known`, and replaces each of `files` there by a new file: a file of that
// name is deleted first. Returns how many files were placed, or -1 when the
// folder could not be reached (a link or a file on the way, or a folder that
// can't be made).
int PlaceHeldFiles(const char* known, const char* sub_path, const HeldFile* files, int count,
                   const HeldFolderOps* ops);

// Opens `known` and the folders of `sub_path` as PlaceHeldFiles does (making
// none), deletes each of `names` there and, with `remove_emptied`, removes
// the last folder of `sub_path` and the folders above it that this leaves
// empty (RemoveEmptiedFolders). Returns how many files were deleted, or -1
// when the folder could not be reached.
int RemoveHeldFiles(const char* known, const char* sub_path, const char* const* names, int count,
                    int remove_emptied, const HeldFolderOps* ops);

// A chain of folders held open, the outermost first: a known folder and the
// folders below it. While they are open nobody can rename or delete them.
constexpr int kMaxHeldDepth = 8;
constexpr size_t kHeldNameSize = 128;  // room for one folder name of a chain
struct HeldFolder {
  void* folders[kMaxHeldDepth + 1];
  int count;                      // 0: nothing is held
  char last_name[kHeldNameSize];  // the innermost folder's name in the one above it
};

enum HeldFolderResult : int {
  kFolderHeld = 0,
  kFolderUnreachable = 1,  // missing, a link or a file on the way, or it can't be made
  kFolderForeign = 2,      // someone but the administrators may change a folder of sub_path
};

// Opens the full path `known` and below it the folders of `sub_path` as
// PlaceHeldFiles does, and holds them in `held`. With `create`, a missing
// folder is made with the administrators' protected permissions. Each folder
// of `sub_path` must then be the administrators' alone (IsAdministratorsOnly):
// kFolderHeld, or kFolderUnreachable or kFolderForeign with nothing held.
// The last folder is held without the right to delete it, so that programs
// can be started in it; RemoveHeldFolderTree takes that right when it is time.
int HoldAdministratorsFolder(const char* known, const char* sub_path, int create,
                             const HeldFolderOps* ops, HeldFolder* held);

// Closes every folder of `held`, innermost first; nothing is held then.
void ReleaseHeldFolder(HeldFolder* held, const HeldFolderOps* ops);

// Removes the last folder of `held` with everything in it, walking it
// through open folders: each sub-folder is opened below the folder listed,
// never following a link; files and links are deleted as themselves, a link
// to a folder is never entered. The last folder is opened again, with the
// right to delete it, below the one above it, and must still be the
// administrators' alone. What can't be removed stays. 1 when the folder is
// gone; its place in `held` is empty either way (the folders above stay held).
// `path` is the folder's full path; `removed` (may be null) is told the
// full path of every file, link and sub-folder that went.
int RemoveHeldFolderTree(HeldFolder* held, const HeldFolderOps* ops, const char* path,
                         void (*removed)(const char* path));

// Removes the folders of `sub_path` that `held` holds (it holds `known` and
// the first held->count - 1 folders of `sub_path`), the innermost first,
// each only when it is empty, and stops at the first that still holds
// anything; `known` always stays. Each is opened anew, with the right to
// delete it, below the held folder above it, whose name still leads where
// it led. `removed` (may be null) is told the full path of each that went.
// Returns how many went; the folders above the last one tried stay held.
int RemoveEmptiedFolders(HeldFolder* held, const char* known, const char* sub_path,
                         const HeldFolderOps* ops, void (*removed)(const char* path));

// The operations above made of `calls`, which must outlive them.
HeldFolderOps HeldFolderOpsOver(const NtFileCalls* calls);

// Copies everything the open file `source` holds, from its start, to the
// full path `target`, made new or emptied (never written through a link at
// that name): 1, or 0 with nothing left at `target` (what stood there before
// is gone too). What now has `source`'s old path does not matter.
int CopyOpenFile(const NtFileCalls* calls, void* source, const char* target);

// The NT calls of this system, and the operations made of them
// (system_held_folders.cpp, Windows only).
const NtFileCalls* SystemNtFileCalls();
HeldFolderOps SystemHeldFolderOps();
