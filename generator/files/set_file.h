// Reading and writing the current-set file on Windows, at the path built
// from the start directory. The file layer moves records; what a loaded
// record means to the panel is decided above it (app/current_set.h).
#pragma once

#include <cstddef>

#include "generator/engine/engine.h"
#include "generator/files/set_file_format.h"

// Writes the header, then the body, to a new file beside `path` and, once
// both are written in full and flushed, puts it in place of `path` in one
// step. 1 then; 0 with `path` as it was (and no new file of its own left)
// otherwise, also when the new file's name holds anything but a leftover of
// an earlier save.
int WriteSetFile(const char* path, const void* header, size_t header_bytes, const void* body,
                 size_t body_bytes);

// Reads the header, then the body, from the existing file `path`. 1 only when
// both were read in full.
int ReadSetFile(const char* path, void* header, size_t header_bytes, void* body,
                size_t body_bytes);

// Reads the start directory (the current one, at most 1000 characters) into
// `directory` and builds the set-file path from it; call once at start-up.
// 1, or 0 with an empty path when the directory cannot be read, is over 1000
// characters or the path does not fit; `directory` is filled whenever it fits.
int InitSetFilePath(char* directory, size_t directory_bytes, char* path, size_t path_bytes);
