// Removal on the real file system and registry (the walks of
// tree_removal.h with the system's operations).
#pragma once

#include <windows.h>

// Where links lie below a known folder, on the real file system: `folder` is
// JoinPath(known folder, sub_path); see FindLinkBelow (tree_removal.h).
int FolderLinks(const char* folder, const char* sub_path);

// Deletes every file and sub-folder of `folder`, then the folder; always 1.
// What can't be deleted stays and is skipped, so the walk always ends.
int RemoveFolderTree(const char* folder);

// Deletes parent\sub_key with all its sub-keys: 1, or 0 when the key could
// not be opened or something under it stayed. Sub-keys that can't be
// deleted are skipped, so the walk always ends.
int DeleteKeyTree(HKEY parent, const char* sub_key);
