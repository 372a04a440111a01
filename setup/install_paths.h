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
