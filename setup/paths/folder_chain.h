// The walk of CreateFolderChain, without its platform.
//
// WalkFolderChain decides which folders along a Windows path must exist and
// asks a callback to make each one, outermost first; the Windows layer's
// CreateFolderChain passes CreateDirectoryA. Kept portable so that the exact
// sequence of folders can be checked on the host.
#pragma once

// Makes `folder` (the callback answers 1 when it was made or already exists,
// 0 on any other failure).
typedef int (*MakeFolderFn)(void* user, const char* folder);

// Calls `make` for every folder along `path` after its drive ("C:") or its
// server and share ("\\server\share"), outermost first, the full path last
// unless it ends with '\'. Returns 1 when every call succeeded, 0 when one
// failed (the walk stops there) or when `path` is null, shorter than 5
// characters or does not fit 1,024 bytes with its NUL.
int WalkFolderChain(const char* path, MakeFolderFn make, void* user);
