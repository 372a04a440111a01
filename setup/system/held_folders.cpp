// PlaceHeldFiles, RemoveHeldFiles and the administrators' folder (see
// held_folders.h).
//
// Each opens a chain: `known` by its path, then each name of `sub_path` below
// the folder opened before it. The chain stays open, innermost last, until
// the work below it is done; a link, a file or a missing folder anywhere on
// it ends the work before anything is touched.
//
// The removal walk lists a held folder and deals with each item as the
// listing gives it: a plain folder is opened below it (never through a link)
// and walked, then removed through its own handle; anything else (a file, a
// link) is deleted as itself. Items that stay are passed once, so the walk
// always ends; its depth is bounded, so a folder nested past it stays.
#include "setup/system/held_folders.h"

#include <cstdio>
#include <cstring>

#include "setup/paths/path_text.h"

constexpr int kMaxWalkDepth = 32;  // sub-folders below the removed folder

// Opens the folder `name` below `parent` for the chain, or null.
typedef void* (*StepOpen)(const HeldFolderOps* ops, void* parent, const char* name, int create);

static void* OpenStep(const HeldFolderOps* ops, void* parent, const char* name, int create) {
  return ops->open(ops->user, parent, name, create, 0);
}

// A folder of an administrators' chain: opened, or made protected when it is
// missing (opened again when someone made it meanwhile), and checked.
static void* OpenAdministratorsStep(const HeldFolderOps* ops, void* parent, const char* name,
                                    int create) {
  void* folder = ops->open(ops->user, parent, name, 0, 0);
  if (folder == nullptr && create) {
    folder = ops->make_protected(ops->user, parent, name);
    if (folder == nullptr) folder = ops->open(ops->user, parent, name, 0, 0);
  }
  return folder;
}

static int IsAdministratorsFolder(const HeldFolderOps* ops, void* folder) {
  FolderSecurity security = {};
  return ops->security(ops->user, folder, &security) && IsAdministratorsOnly(&security);
}

// Opens `known` and the folders of `sub_path` with `step`. kFolderHeld, or
// kFolderUnreachable (or, with `check`, kFolderForeign) with nothing left
// open.
static int OpenChain(const char* known, const char* sub_path, int create, StepOpen step, int check,
                     const HeldFolderOps* ops, HeldFolder* chain) {
  chain->count = 0;
  chain->last_name[0] = '\0';
  void* folder = ops->open(ops->user, nullptr, known, 0, 0);
  if (folder == nullptr) return kFolderUnreachable;
  chain->folders[chain->count++] = folder;
  for (const char* at = sub_path; *at != '\0';) {
    const char* next = NextSubPathName(at, chain->last_name, sizeof chain->last_name);
    folder = nullptr;
    if (next != nullptr && chain->count <= kMaxHeldDepth) {
      folder = step(ops, chain->folders[chain->count - 1], chain->last_name, create);
    }
    if (folder == nullptr) {
      ReleaseHeldFolder(chain, ops);
      return kFolderUnreachable;
    }
    chain->folders[chain->count++] = folder;
    if (check && !IsAdministratorsFolder(ops, folder)) {
      ReleaseHeldFolder(chain, ops);
      return kFolderForeign;
    }
    at = next;
  }
  return kFolderHeld;
}

void ReleaseHeldFolder(HeldFolder* held, const HeldFolderOps* ops) {
  while (held->count > 0) ops->close(ops->user, held->folders[--held->count]);
}

int PlaceHeldFiles(const char* known, const char* sub_path, const HeldFile* files, int count,
                   const HeldFolderOps* ops) {
  HeldFolder chain;
  if (OpenChain(known, sub_path, 1, OpenStep, 0, ops, &chain) != kFolderHeld) return -1;
  void* folder = chain.folders[chain.count - 1];
  int placed = 0;
  for (int i = 0; i < count; ++i) {
    ops->delete_file(ops->user, folder, files[i].name);
    placed += ops->write_new_file(ops->user, folder, files[i].name, files[i].bytes, files[i].size);
  }
  ReleaseHeldFolder(&chain, ops);
  return placed;
}

int RemoveHeldFiles(const char* known, const char* sub_path, const char* const* names, int count,
                    int remove_emptied, const HeldFolderOps* ops) {
  HeldFolder chain;
  if (OpenChain(known, sub_path, 0, OpenStep, 0, ops, &chain) != kFolderHeld) return -1;
  void* folder = chain.folders[chain.count - 1];
  int deleted = 0;
  for (int i = 0; i < count; ++i) deleted += ops->delete_file(ops->user, folder, names[i]);
  if (remove_emptied) RemoveEmptiedFolders(&chain, known, sub_path, ops, nullptr);
  ReleaseHeldFolder(&chain, ops);
  return deleted;
}

// The first `depth` names of `sub_path` joined to `known` into `path`, and
// the last of them into `name`: false when they don't fit or aren't there.
static bool ChainPlace(const char* known, const char* sub_path, int depth, char* path,
                       size_t path_size, char* name) {
  if (std::snprintf(path, path_size, "%s", known) >= static_cast<int>(path_size)) return false;
  const char* at = sub_path;
  for (int level = 0; level < depth; ++level) {
    at = NextSubPathName(at, name, kHeldNameSize);
    if (at == nullptr || !JoinPath(path, path_size, path, name)) return false;
  }
  return depth > 0;
}

int RemoveEmptiedFolders(HeldFolder* held, const char* known, const char* sub_path,
                         const HeldFolderOps* ops, void (*removed)(const char* path)) {
  int gone = 0;
  while (held->count >= 2) {
    char path[kPathSize];
    char name[kHeldNameSize];
    if (!ChainPlace(known, sub_path, held->count - 1, path, sizeof path, name)) break;
    // The held handle shares no deletion: the folder is opened anew.
    ops->close(ops->user, held->folders[--held->count]);
    void* folder = ops->open(ops->user, held->folders[held->count - 1], name, 0, 1);
    if (folder == nullptr) break;
    const int removed_now = ops->remove_folder(ops->user, folder);
    ops->close(ops->user, folder);
    if (!removed_now) break;
    ++gone;
    if (removed != nullptr) removed(path);
  }
  return gone;
}

int HoldAdministratorsFolder(const char* known, const char* sub_path, int create,
                             const HeldFolderOps* ops, HeldFolder* held) {
  held->count = 0;
  if (sub_path[0] == '\0') return kFolderUnreachable;  // the known folder is no product folder
  return OpenChain(known, sub_path, create, OpenAdministratorsStep, 1, ops, held);
}

struct RemovalWalk {
  const HeldFolderOps* ops;
  void* folder;
  int depth;
  const char* path;  // the folder's full path, for `removed`
  void (*removed)(const char* path);
};

static void RemoveContent(const RemovalWalk* walk);

// Tells the walk's listener that `name` in the walked folder went.
static void TellRemoved(const RemovalWalk* walk, const char* name) {
  char path[kPathSize];
  if (walk->removed != nullptr && JoinPath(path, sizeof path, walk->path, name)) {
    walk->removed(path);
  }
}

static void RemoveItem(void* context, const char* name, uint32_t attributes) {
  const RemovalWalk* walk = static_cast<const RemovalWalk*>(context);
  const HeldFolderOps* ops = walk->ops;
  if (!IsPlainFolderAttributes(attributes)) {
    // Refuses what became a real folder.
    if (ops->delete_file(ops->user, walk->folder, name)) TellRemoved(walk, name);
    return;
  }
  char path[kPathSize];
  if (walk->depth >= kMaxWalkDepth || !JoinPath(path, sizeof path, walk->path, name)) return;
  // Opened as a plain folder or not at all: a link put at its name since the
  // listing is not entered.
  void* sub = ops->open(ops->user, walk->folder, name, 0, 1);
  if (sub == nullptr) return;
  const RemovalWalk inner = {ops, sub, walk->depth + 1, path, walk->removed};
  RemoveContent(&inner);
  const int gone = ops->remove_folder(ops->user, sub);
  ops->close(ops->user, sub);
  if (gone) TellRemoved(walk, name);
}

static void RemoveContent(const RemovalWalk* walk) {
  walk->ops->list(walk->ops->user, walk->folder, RemoveItem, const_cast<RemovalWalk*>(walk));
}

int RemoveHeldFolderTree(HeldFolder* held, const HeldFolderOps* ops, const char* path,
                         void (*removed)(const char* path)) {
  if (held->count < 2) return 0;
  // The held handle shares no deletion, so the folder is opened anew, below
  // the folder above it, and looked at again: the folder above is held and
  // the administrators' own, so its name leads where it led.
  ops->close(ops->user, held->folders[--held->count]);
  void* folder = ops->open(ops->user, held->folders[held->count - 1], held->last_name, 0, 1);
  if (folder == nullptr) return 0;
  int gone = 0;
  if (IsAdministratorsFolder(ops, folder)) {
    const RemovalWalk walk = {ops, folder, 0, path, removed};
    RemoveContent(&walk);
    gone = ops->remove_folder(ops->user, folder);
  }
  ops->close(ops->user, folder);
  return gone;
}
