// RemoveFolderTree's and DeleteKeyTree's walks (see tree_removal.h).
//
// Folder walk, for `folder`:
//   1. List "<folder>\*.*"; nothing listed ends the walk.
//   2. Step over folders whose names begin with "." and over the first
//      `kept` other items; the next item is the one to deal with. None left
//      ends the walk.
//   3. Close the listing; a file is deleted, a folder walked (a linked
//      folder only removed); when the item stayed, `kept` += 1. Back to 1.
//   4. Remove the folder itself (which fails when something stayed).
// The key walk is the same with "list" meaning "the sub-key at index `kept`".
// Both assume that a listing of an unchanged folder or key comes in the same
// order each time, which the file systems and the registry give.
#include "setup/tree_removal.h"

#include "setup/package_format.h"

int RemoveFolderTreeWith(const char* folder, const FolderTreeOps* ops) {
  char pattern[kPathSize];
  size_t kept = 0;
  while (JoinPath(pattern, sizeof pattern, folder, "*.*")) {
    FolderItem item;
    void* listing = ops->list_first(ops->user, pattern, &item);
    if (listing == nullptr) break;
    size_t seen = 0;
    int found = 0;
    do {
      if (item.is_folder && item.name[0] == '.') continue;
      if (seen++ < kept) continue;
      found = 1;
      break;
    } while (ops->list_next(ops->user, listing, &item));
    ops->list_close(ops->user, listing);
    if (!found) break;

    char path[kPathSize];
    int removed = 0;
    if (JoinPath(path, sizeof path, folder, item.name)) {
      if (!item.is_folder) {
        removed = ops->delete_file(ops->user, path);
      } else if (item.is_link) {
        removed = ops->remove_folder(ops->user, path);
      } else {
        removed = RemoveFolderTreeWith(path, ops);
      }
    }
    if (!removed) ++kept;
  }
  return ops->remove_folder(ops->user, folder);
}

int DeleteKeyTreeWith(void* parent, const char* sub_key, const KeyTreeOps* ops) {
  void* key = ops->open(ops->user, parent, sub_key);
  if (key == nullptr) return 0;
  int result = 0;
  unsigned kept = 0;
  for (;;) {
    char name[1024];  // sub-key names of up to 1,023 characters
    const int listed = ops->list(ops->user, key, kept, name, sizeof name);
    if (listed == kKeyFound) {
      if (!DeleteKeyTreeWith(key, name, ops)) ++kept;
      continue;
    }
    if (listed == kKeyNoMore) result = ops->remove(ops->user, parent, sub_key);
    break;
  }
  ops->close(ops->user, key);
  return result;
}
