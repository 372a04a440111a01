// The current-set file "qx_gene_current_set.def": a 48-byte identification
// text followed by the 184-byte GeneratorSettings record exactly as held in
// memory (232 bytes). There is no version or checksum; the text is the only
// identification, and nothing in the body is validated on loading.
#pragma once

#include <cstddef>

#include "generator/engine/engine.h"

constexpr char kSetFileName[] = "qx_gene_current_set.def";
constexpr char kSetFileIdentification[] = "TARNWELL-GENERATOR.DefFileForStandAloneGenerator";
constexpr size_t kSetFileHeaderBytes = 48;
constexpr size_t kSetFileBodyBytes = sizeof(GeneratorSettings);
constexpr size_t kSetFileBytes = kSetFileHeaderBytes + kSetFileBodyBytes;
static_assert(sizeof(kSetFileIdentification) - 1 == kSetFileHeaderBytes, "48-byte text");
static_assert(kSetFileBytes == 232, "file layout");

// Room for a path: start directory, separator and file name.
constexpr size_t kPathBytes = 1024;

// Builds "<directory>\qx_gene_current_set.def" (no backslash added when the
// directory already ends in one). Returns 1, or 0 with an empty result when
// it does not fit in `out_size` bytes.
int BuildSetFilePath(const char* directory, char* out, size_t out_size);

// Decides what a read file gives the engine: when the header equals the
// identification byte for byte, copies the body to `settings` with `on`
// forced to 0 (the program always starts silent) and returns 1; else 0.
int AcceptSetFile(const unsigned char* header, const unsigned char* body,
                  GeneratorSettings* settings);
