// PlaceHeldFiles and RemoveHeldFiles (see held_folders.h).
//
// Both open a chain: `known` by its path, then each name of `sub_path` below
// the folder opened before it. The chain stays open, innermost last, until
// the work below it is done; a link, a file or a missing folder anywhere on
// it ends the work before anything is touched.
#include "setup/system/held_folders.h"

#include <cstring>

#include "setup/paths/path_text.h"

// Enough for the installer's sub-paths ("Tarnwell Audio\Brindlemoor").
constexpr int kMaxHeldDepth = 8;
constexpr size_t kFolderNameSize = 128;  // room for one folder name of a chain

struct HeldChain {
  void* folders[kMaxHeldDepth + 1];
  int count;
};

static void CloseChain(HeldChain* chain, const HeldFolderOps* ops) {
  while (chain->count > 0) ops->close(ops->user, chain->folders[--chain->count]);
}

// Opens `known` and the folders of `sub_path`, the last of them `removable`
// when asked (never `known` itself). 1, or 0 with nothing left open.
static int OpenChain(const char* known, const char* sub_path, int create, int removable,
                     const HeldFolderOps* ops, HeldChain* chain) {
  chain->count = 0;
  void* folder = ops->open(ops->user, nullptr, known, 0, 0);
  if (folder == nullptr) return 0;
  chain->folders[chain->count++] = folder;
  for (const char* at = sub_path; *at != '\0';) {
    const char* end = std::strchr(at, '\\');
    const size_t length = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
    const char* next = end != nullptr ? end + 1 : at + length;
    char name[kFolderNameSize];
    folder = nullptr;
    if (length > 0 && length < sizeof name && chain->count <= kMaxHeldDepth) {
      std::memcpy(name, at, length);
      name[length] = '\0';
      folder = ops->open(ops->user, chain->folders[chain->count - 1], name, create,
                         removable && *next == '\0');
    }
    if (folder == nullptr) {
      CloseChain(chain, ops);
      return 0;
    }
    chain->folders[chain->count++] = folder;
    at = next;
  }
  return 1;
}

int PlaceHeldFiles(const char* known, const char* sub_path, const HeldFile* files, int count,
                   const HeldFolderOps* ops) {
  HeldChain chain;
  if (!OpenChain(known, sub_path, 1, 0, ops, &chain)) return -1;
  void* folder = chain.folders[chain.count - 1];
  int placed = 0;
  for (int i = 0; i < count; ++i) {
    ops->delete_file(ops->user, folder, files[i].name);
    placed += ops->write_new_file(ops->user, folder, files[i].name, files[i].bytes, files[i].size);
  }
  CloseChain(&chain, ops);
  return placed;
}

int RemoveHeldFiles(const char* known, const char* sub_path, const char* const* names, int count,
                    int remove_last, const HeldFolderOps* ops) {
  HeldChain chain;
  const int remove = remove_last && sub_path[0] != '\0';
  if (!OpenChain(known, sub_path, 0, remove, ops, &chain)) return -1;
  void* folder = chain.folders[chain.count - 1];
  int deleted = 0;
  for (int i = 0; i < count; ++i) deleted += ops->delete_file(ops->user, folder, names[i]);
  if (remove) ops->remove_folder(ops->user, folder);
  CloseChain(&chain, ops);
  return deleted;
}
