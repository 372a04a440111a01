// Path texts of the install procedure (see install_paths.h).
#include "setup/paths/install_paths.h"

#include <cstdio>
#include <cstring>

#include "setup/paths/path_text.h"

int ProgramFilesFallback(const char* windows_folder, int complete, char* out, size_t out_size) {
  if (out_size == 0) return 0;
  size_t keep = 2;
  const char* root = "C:";
  if (complete && windows_folder != nullptr) {
    root = windows_folder;
    const size_t length = std::strlen(windows_folder);
    const char* slash = length > 2 ? std::strchr(windows_folder + 2, '\\') : nullptr;
    keep = slash != nullptr ? static_cast<size_t>(slash - windows_folder) + 1 : length;
  }
  const int n = std::snprintf(out, out_size, "%.*s\\Program Files\\", static_cast<int>(keep), root);
  if (n < 0 || static_cast<size_t>(n) >= out_size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

const char* FileNamePart(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash != nullptr ? slash + 1 : path;
}

int IsAbsoluteFolder(const char* folder) {
  if (folder == nullptr) return 0;
  const char c = folder[0];
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (letter && folder[1] == ':' && folder[2] == '\\') return 1;
  // "\\server\share": both names present. "\\?\" and "\\.\" lead to the
  // object manager's names instead, where a link need not be a reparse point
  // of the file system and the checks made below such a folder see nothing.
  if (folder[0] != '\\' || folder[1] != '\\') return 0;
  const bool device = folder[2] == '?' || folder[2] == '.';
  if (device && (folder[3] == '\\' || folder[3] == '/' || folder[3] == '\0')) return 0;
  const char* server = folder + 2;
  const char* slash = std::strchr(server, '\\');
  return slash != nullptr && slash != server && slash[1] != '\0' && slash[1] != '\\' ? 1 : 0;
}

int ShortcutFileName(char* out, size_t out_size, const char* name) {
  if (out_size == 0) return 0;
  const int n = std::snprintf(out, out_size, "%s.LNK", name);
  if (n < 0 || static_cast<size_t>(n) >= out_size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int ShortcutPath(char* out, size_t out_size, const char* folder, const char* name) {
  char file_name[kPathSize];
  if (out_size > 0) out[0] = '\0';
  return ShortcutFileName(file_name, sizeof file_name, name) &&
         JoinPath(out, out_size, folder, file_name);
}
