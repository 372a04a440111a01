// Reading and writing the current-set file, and the program's use of it:
// loaded once when the main window is created, saved once when it is
// destroyed, always at the path built from the start directory.
#pragma once

#include <cstddef>

#include "generator/engine.h"
#include "generator/set_file_format.h"

// Writes the header, then the body, to a new file beside `path` and, once
// both are written in full and flushed, puts it in place of `path` in one
// step. 1 then; 0 with `path` as it was (and no new file left) otherwise.
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

// Loads the file at `path` into the engine's pending settings, switched off,
// with every value the panel shows brought into what it can show
// (KeepSettingsShowable). Missing, short or foreign files leave the engine's
// settings as they are.
// Returns 1 when the file was taken.
int LoadCurrentSet(GeneratorEngine* engine, const char* path);

// Saves the engine's pending settings to `path`. 1 when written.
int SaveCurrentSet(GeneratorEngine* engine, const char* path);
