// RemoveFolderTree's and DeleteKeyTree's walks (see tree_removal.h).
//
// Folder walk, for `folder`:
//   0. A folder that is itself a link is removed as a link, never listed.
//   1. List "<folder>\*.*" once and deal with each item as it comes: a file
//      is deleted, a folder walked (a linked folder only removed). Folders
//      whose names begin with "." and names that Windows would open as
//      another file or a device are stepped over.
//   2. Remove the folder itself (which fails when something stayed).
// Each item is listed once, whether it goes or stays, so a folder full of
// files that can't be deleted costs one listing, not one per file. Deleting
// an item that a listing has already given does not disturb the listing:
// NTFS and FAT go on from the last name or place given, and Wine reads the
// whole folder at the first request.
// The key walk takes the sub-key at index `kept` again after each deletion
// (the registry renumbers sub-keys when one goes); a sub-key that stays
// raises `kept`. It assumes that an unchanged key lists its sub-keys in the
// same order each time, which the registry gives.
#include "setup/system/tree_removal.h"

#include <cstring>

#include "setup/paths/path_text.h"

static int IsLink(const FolderTreeOps* ops, const char* path) {
  return ops->is_link != nullptr && ops->is_link(ops->user, path);
}

int RemoveFolderTreeWith(const char* folder, const FolderTreeOps* ops) {
  // A link root would list its target's content: remove the link alone.
  if (IsLink(ops, folder)) return ops->remove_folder(ops->user, folder);
  char pattern[kPathSize];
  FolderItem item;
  void* listing = JoinPath(pattern, sizeof pattern, folder, "*.*")
                      ? ops->list_first(ops->user, pattern, &item)
                      : nullptr;
  if (listing != nullptr) {
    do {
      if (item.is_folder && item.name[0] == '.') continue;
      char path[kPathSize];
      if (!IsPlainFileName(item.name) || !JoinPath(path, sizeof path, folder, item.name)) continue;
      if (!item.is_folder) {
        ops->delete_file(ops->user, path);
      } else if (item.is_link) {
        ops->remove_folder(ops->user, path);
      } else {
        RemoveFolderTreeWith(path, ops);
      }
    } while (ops->list_next(ops->user, listing, &item));
    ops->list_close(ops->user, listing);
  }
  return ops->remove_folder(ops->user, folder);
}

int FindLinkBelow(const char* folder, const char* sub_path, const FolderTreeOps* ops) {
  int depth = 1;
  for (const char* c = sub_path; *c != '\0'; ++c) depth += *c == '\\';
  char path[kPathSize];
  size_t length = std::strlen(folder);
  if (length >= sizeof path) return kLinkOnTheWay;  // can't be looked at: not used
  std::memcpy(path, folder, length + 1);
  while (length > 0 && path[length - 1] == '\\') path[--length] = '\0';
  // The ends of the last `depth` names, top first.
  size_t ends[16];
  if (depth > 16) return kLinkOnTheWay;
  size_t end = length;
  for (int i = depth - 1; i >= 0; --i) {
    ends[i] = end;
    while (end > 0 && path[end - 1] != '\\') --end;
    if (end == 0) return kLinkOnTheWay;  // fewer names than sub_path has
    --end;
  }
  for (int i = 0; i < depth; ++i) {
    const char saved = path[ends[i]];
    path[ends[i]] = '\0';
    const int link = IsLink(ops, path);
    path[ends[i]] = saved;
    if (link) return i == depth - 1 ? kLinkAtEnd : kLinkOnTheWay;
  }
  return kNoLink;
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
