// The walks of RemoveFolderTree and DeleteKeyTree, without their platform.
//
// The folder walk lists each folder once and deals with every item as the
// listing gives it; the key walk takes the sub-key at an index and steps over
// the sub-keys that stayed. Items that can't be removed stay and are passed
// once, so both walks always end. The Windows layer (system_removal.cpp) passes
// FindFirstFileA, DeleteFileA, RemoveDirectoryA and the registry calls; the
// host tests pass a model file system and registry with items that refuse to
// go.
#pragma once

#include <cstddef>

// One item of a folder listing.
struct FolderItem {
  char name[260];  // as WIN32_FIND_DATAA.cFileName
  int is_folder;
  int is_link;  // a folder that is a link (junction, symbolic link): never entered
};

struct FolderTreeOps {
  void* user;
  // Lists `pattern` ("<folder>\*.*"): the listing and its first item, or null.
  void* (*list_first)(void* user, const char* pattern, FolderItem* item);
  // The next item: 1, or 0 when there is none.
  int (*list_next)(void* user, void* listing, FolderItem* item);
  void (*list_close)(void* user, void* listing);
  int (*delete_file)(void* user, const char* path);    // 1 when deleted
  int (*remove_folder)(void* user, const char* path);  // 1 when removed (empty folders only)
  // 1 when `path` itself is a link (a reparse point), without following it;
  // 0 when it is not or does not exist. Null: nothing is a link.
  int (*is_link)(void* user, const char* path);
};

// Deletes every file and sub-folder of `folder`, then the folder. Sub-folders
// whose names begin with "." are left alone (this covers "." and ".."), and
// so are items whose names Windows opens as something else (a trailing dot or
// blank, a device name: IsPlainFileName); a linked folder, `folder` itself
// included, is removed as a link without entering it; what can't be deleted
// stays. Each folder is listed once. Returns 1 when `folder` itself is gone,
// else 0.
int RemoveFolderTreeWith(const char* folder, const FolderTreeOps* ops);

enum FolderLinks : int {
  kNoLink = 0,        // no folder below the known folder is a link
  kLinkAtEnd = 1,     // the folder itself is a link; the folders above it are not
  kLinkOnTheWay = 2,  // a folder between the known folder and the folder is a link
};

// `folder` is a known folder that the system gave, joined with `sub_path`
// (one or more names separated by '\'). Looks at the folders that sub_path
// adds, from the top, and says where the first link lies (FolderLinks).
// Whatever lies below a link belongs to someone else: the installer neither
// writes there nor removes anything there.
int FindLinkBelow(const char* folder, const char* sub_path, const FolderTreeOps* ops);

enum KeyListing : int {
  kKeyFound = 0,   // `name` holds the sub-key's name
  kKeyNoMore = 1,  // no sub-key at that index
  kKeyError = 2,   // any other failure (for example a name too long)
};

struct KeyTreeOps {
  void* user;
  // Opens parent\name for deletion and listing: a handle, or null.
  void* (*open)(void* user, void* parent, const char* name);
  // The name of sub-key `index` (kKeyFound), or kKeyNoMore, or kKeyError.
  int (*list)(void* user, void* key, unsigned index, char* name, size_t name_size);
  int (*remove)(void* user, void* parent, const char* name);  // 1 when deleted
  void (*close)(void* user, void* key);
};

// Deletes parent\sub_key with all its sub-keys, deepest first. Sub-keys that
// can't be deleted are stepped over; the key itself is then left too. 1 when
// the key is gone, 0 when it could not be opened or stayed.
int DeleteKeyTreeWith(void* parent, const char* sub_key, const KeyTreeOps* ops);
