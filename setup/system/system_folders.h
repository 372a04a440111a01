// Where the product goes: the Program Files folder and the shell folders.
#pragma once

#include <cstddef>

// target := JoinPath(<Program Files>, sub_path) in `target_size` bytes
// (at least MAX_PATH); 0, or -1 with `target` empty when neither the folder
// nor its fallback fits.
int ResolveProgramFilesFolder(char* target, size_t target_size, const char* sub_path);

// The shell folders resolved once at start-up by ResolveShellFolders: the
// all-users Programs folder (empty when unknown) and the current user's
// Startup folder ("Startup" until resolved).
struct ShellFolders {
  int resolved;  // 1 once ResolveShellFolders has run
  char common_programs[512];
  char startup[512];
};
extern ShellFolders g_shell_folders;

// Fills g_shell_folders; does its work on the first call only. Start-up thread.
void ResolveShellFolders();

// 1 when `folder`, a per-user folder whose path the user's own settings
// give (the Programs and Startup folders), lies inside the user's profile
// folder, as the system's profile list (which only administrators can
// change) names it for this process's user. The elevated installer makes
// and removes files only in such folders: a path the user set elsewhere
// (the all-users Start menu, the system folder) is left alone.
int IsInUserProfile(const char* folder);
