// Path texts of the install procedure that need no Windows call.
#pragma once

#include <cstddef>

// The last fallback for the Program Files folder, from the Windows folder
// text that GetWindowsDirectoryA gave. `complete` is 1 when the length it
// returned equals the text's length: the text is then cut right after its
// first backslash past the drive ("C:\WINDOWS" gives "C:\"); otherwise "C:"
// is used. "\Program Files\" is appended (so "C:\" gives
// "C:\\Program Files\", which the file system takes). 1, or 0 with `out`
// empty when it does not fit `out_size` bytes.
int ProgramFilesFallback(const char* windows_folder, int complete, char* out, size_t out_size);

// The part of `path` after its last backslash (all of it when it has none).
const char* FileNamePart(const char* path);

// 1 when `folder` is a full path that names the same place from any current
// folder and drive: "X:\..." or a network path "\\server\share...". An
// empty text, a relative one ("Startup"), one relative to the current drive
// ("\Programs") or to a drive's current folder ("C:Programs") gives 0: a
// step given such a folder would work somewhere else than meant. So do the
// device forms "\\?\..." and "\\.\...", whose links no folder check sees.
int IsAbsoluteFolder(const char* folder);

// A shell link's file name: `name` + ".LNK", the one place the extension is
// added. 1, or 0 with `out` empty when it does not fit `out_size` bytes.
int ShortcutFileName(char* out, size_t out_size, const char* name);

// The shell link path JoinPath(folder, ShortcutFileName(name)) into `out`;
// 1, or 0 with `out` empty when it does not fit `out_size` bytes.
int ShortcutPath(char* out, size_t out_size, const char* folder, const char* name);
