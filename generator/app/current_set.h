// The program's use of the current-set file: loaded once when the main
// window is created, saved once when it is destroyed. The file layer reads
// and writes records (files/set_file.h); here a loaded record is brought
// into what the panel can show before the engine takes it.
#pragma once

#include "generator/engine/engine.h"

// Loads the file at `path` into the engine's pending settings, switched off,
// with every value the panel shows brought into what it can show
// (KeepSettingsShowable). Missing, short or foreign files leave the engine's
// settings as they are.
// Returns 1 when the file was taken.
int LoadCurrentSet(GeneratorEngine* engine, const char* path);

// Saves the engine's pending settings to `path`. 1 when written.
int SaveCurrentSet(GeneratorEngine* engine, const char* path);
