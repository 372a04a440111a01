// RemoveFolderTree and DeleteKeyTree: the walks of tree_removal.cpp on the
// file system and the registry.
//
// A folder that is a reparse point (a junction or a symbolic link) is removed
// as a link and never entered, so that a link inside the product folder, or a
// Start-menu folder that its user made a link, can't lead the uninstall to
// files elsewhere. The attributes of a path are those of the link itself:
// GetFileAttributesA does not follow a reparse point.
#include <windows.h>

#include <cstdio>

#include "setup/system/system_removal.h"
#include "setup/system/tree_removal.h"

static void ToFolderItem(const WIN32_FIND_DATAA& found, FolderItem* item) {
  std::snprintf(item->name, sizeof item->name, "%s", found.cFileName);
  item->is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  item->is_link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

static void* ListFirst(void*, const char* pattern, FolderItem* item) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return nullptr;
  ToFolderItem(found, item);
  return search;
}

static int ListNext(void*, void* listing, FolderItem* item) {
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(static_cast<HANDLE>(listing), &found)) return 0;
  ToFolderItem(found, item);
  return 1;
}

static void ListClose(void*, void* listing) { FindClose(static_cast<HANDLE>(listing)); }

static int DeletePlainFile(void*, const char* path) { return DeleteFileA(path) ? 1 : 0; }

static int RemoveEmptyFolder(void*, const char* path) { return RemoveDirectoryA(path) ? 1 : 0; }

static int IsReparsePoint(void*, const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

static FolderTreeOps FileSystemOps() {
  FolderTreeOps ops = {};
  ops.list_first = ListFirst;
  ops.list_next = ListNext;
  ops.list_close = ListClose;
  ops.delete_file = DeletePlainFile;
  ops.remove_folder = RemoveEmptyFolder;
  ops.is_link = IsReparsePoint;
  return ops;
}

int FolderLinks(const char* folder, const char* sub_path) {
  const FolderTreeOps ops = FileSystemOps();
  return FindLinkBelow(folder, sub_path, &ops);
}

int RemoveFolderTree(const char* folder) {
  const FolderTreeOps ops = FileSystemOps();
  RemoveFolderTreeWith(folder, &ops);
  return 1;
}

static void* OpenKey(void*, void* parent, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(static_cast<HKEY>(parent), name, 0, DELETE | KEY_ENUMERATE_SUB_KEYS, &key) !=
      ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

static int ListKey(void*, void* key, unsigned index, char* name, size_t name_size) {
  DWORD length = static_cast<DWORD>(name_size);
  const LONG status = RegEnumKeyExA(static_cast<HKEY>(key), index, name, &length, nullptr, nullptr,
                                    nullptr, nullptr);
  if (status == ERROR_SUCCESS) return kKeyFound;
  return status == ERROR_NO_MORE_ITEMS ? kKeyNoMore : kKeyError;
}

static int RemoveKey(void*, void* parent, const char* name) {
  return RegDeleteKeyA(static_cast<HKEY>(parent), name) == ERROR_SUCCESS ? 1 : 0;
}

static void CloseKey(void*, void* key) { RegCloseKey(static_cast<HKEY>(key)); }

int DeleteKeyTree(HKEY parent, const char* sub_key) {
  KeyTreeOps ops = {};
  ops.open = OpenKey;
  ops.list = ListKey;
  ops.remove = RemoveKey;
  ops.close = CloseKey;
  return DeleteKeyTreeWith(parent, sub_key, &ops);
}
