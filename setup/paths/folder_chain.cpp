// CreateFolderChain's walk along a path.
//
// How it works, on a private copy of the path:
//   1. From index 2 on, find the first '\' (this steps over a drive "C:").
//   2. A path that starts with "\\" is a network path: that '\' ends the
//      server name, so move on to the next one, which ends the share.
//   3. Past that '\', every further '\' ends a folder: cut the copy there for
//      a moment and make that folder; then make the whole path when something
//      follows the last '\'.
// A path too long for the copy fails instead of being cut short, which would
// make folders nobody asked for.
#include "setup/paths/folder_chain.h"

#include <cstring>

#include "setup/paths/path_text.h"

int WalkFolderChain(const char* path, MakeFolderFn make, void* user) {
  if (path == nullptr) return 0;
  const size_t length = std::strlen(path);
  if (length < 5 || length >= kPathSize) return 0;
  char copy[kPathSize];
  std::memcpy(copy, path, length + 1);

  size_t at = 2;
  while (copy[at] != '\0' && copy[at] != '\\') ++at;
  if (copy[0] == '\\' && copy[1] == '\\' && copy[at] == '\\') {
    ++at;
    while (copy[at] != '\0' && copy[at] != '\\') ++at;
  }
  if (copy[at] == '\0') return 1;
  ++at;
  if (copy[at] == '\0') return 1;

  for (; copy[at] != '\0'; ++at) {
    if (copy[at] != '\\') continue;
    copy[at] = '\0';
    const int made = make(user, copy);
    copy[at] = '\\';
    if (!made) return 0;
  }
  if (copy[length - 1] != '\\' && !make(user, copy)) return 0;
  return 1;
}
