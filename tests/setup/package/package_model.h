// Test models of the install package: a naive cipher and chain written
// straight from the format's description, a package maker that can also make
// what the real builder refuses (empty entries, any name field, any offset),
// a sink that writes into memory, and a resolver that says where a Windows
// path really ends up.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "setup/package/package_format.h"
#include "setup/package/package_reader.h"

using Bytes = std::vector<uint8_t>;
using Table = std::array<uint8_t, 16>;

// The cipher, one step at a time in 64-bit arithmetic with explicit modulo.
void ModelCipher(Bytes* bytes, uint32_t key, const Table& table);

// K and T after an in-bounds entry whose stored bytes digest to `stored`.
void ModelAdvance(uint32_t* key, Table* table, const Table& stored);

Table Md5Of(const Bytes& bytes);

// One entry for ModelPackage: the whole 128-byte name field (without a NUL
// when `name` is 128 bytes or longer; longer names are cut to 128) and data.
struct ModelEntry {
  std::string name;
  Bytes data;
};

// A package of 25 entries, data back to back after the directory, each
// enciphered and chained by the models above. Any name, any size (also 0).
Bytes ModelPackage(const std::vector<ModelEntry>& entries);

// 25 entries with the delivered names and pseudo-random data of the given
// sizes (cycled when fewer than 25 are given).
std::vector<ModelEntry> SampleEntries(uint32_t seed, const std::vector<uint32_t>& sizes);

// Reads or changes a record of a package image.
PackageEntry EntryOf(const Bytes& package, int index);
void SetEntry(Bytes* package, int index, const PackageEntry& entry);
void SetEntryName(Bytes* package, int index, const std::string& name);

// A sink that keeps everything in memory.
struct MemorySink {
  std::vector<std::string> folders;      // create_folders calls, in order
  std::map<std::string, Bytes> files;    // write_file calls by path
  std::vector<std::string> write_order;  // paths in the order written
  std::vector<int> statuses;             // entry_done, per entry
  std::vector<int> selected;             // entry_done, per entry
  std::string failing_path;              // write_file fails for this path
  PackageSink sink;                      // points at this record

  MemorySink();
  MemorySink(const MemorySink&) = delete;
  MemorySink& operator=(const MemorySink&) = delete;
};

// Walks a copy of `package` into `sink` (the copy is deciphered, not the
// original). Returns WalkPackage's result.
int WalkCopy(const Bytes& package, const char* target, const char* filter, MemorySink* sink);

// Where `path` ends up under Windows' rules (both separators, "." and "..",
// trailing dots and blanks cut off each component, repeated separators), or
// "" when it leaves `target` or names `target` itself. `target` is a plain
// absolute folder such as "C:\\T".
std::string ResolveBelow(const std::string& target, const std::string& path);
