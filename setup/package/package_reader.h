// Reading a package: the walk through the 25 entries of the cipher chain.
//
// WalkPackage is the whole extraction without its platform: it deciphers a
// writable package image in place, verifies every entry and hands the verified
// entries that the name filter selects to a sink, which writes them (the
// Windows layer with CreateFileA, mkpackage with the C library, the tests into
// memory). Every entry is deciphered and verified whatever the filter says,
// because the chain runs through all of them. From the first failed entry on,
// nothing more is written: a package that is damaged anywhere installs no
// file after the damage.
#pragma once

#include <cstdint>

#include "setup/package/package_format.h"

// What became of one entry. Everything but kEntryVerified counts as failed.
enum PackageEntryStatus : int {
  kEntryVerified = 0,      // digest matched; written when selected and the sink writes
  kEntryOutOfBounds = 1,   // reaches past the end of the package; the chain did not advance
  kEntryEmpty = 2,         // size 0 (a valid package has none)
  kEntryBadDigest = 3,     // the deciphered bytes do not match the digest
  kEntryUnsafeName = 4,    // name without its NUL, not a plain relative path, or an earlier one's
  kEntryPathTooLong = 5,   // target folder and name do not fit a path buffer
  kEntryWriteFailed = 6,   // the sink could not write the file
  kEntryAfterFailure = 7,  // sound in itself, but an entry before it failed: not written
};

// Short English text of a status, for reports ("digest mismatch", ...).
const char* PackageEntryStatusText(int status);

// Where a walk puts its results. Every function pointer may be null: without
// write_file nothing is written (a verification); without create_folders no
// folder is made; without entry_done nobody is told.
struct PackageSink {
  void* user;
  // Creates `folder` and the folders above it that are missing; 1 or 0. Its
  // result is not looked at: a missing folder shows as a failed write.
  int (*create_folders)(void* user, const char* folder);
  // Creates or replaces the file `path` with exactly `size` bytes; 1 or 0.
  int (*write_file)(void* user, const char* path, const uint8_t* bytes, uint32_t size);
  // Called once per entry, in directory order, with its record, its status
  // and whether the name filter selected it.
  void (*entry_done)(void* user, int index, const PackageEntry* entry, int status, int selected);
};

// Walks the chain over a writable image of `size` bytes, deciphering each
// in-bounds entry in place (so the image can be walked only once), and writes
// each verified entry whose name equals `name_filter` exactly (every entry when
// it is null) to JoinPath(target_folder, name), creating its sub-folder first
// when the name has one. Once an entry has failed, every later entry counts as
// failed (kEntryAfterFailure unless it fails for a reason of its own) and is
// not written. Returns the number of failed entries (0 … 25), or -1
// when the image is 3,900 bytes or smaller (no package). Reads nothing
// outside the image, writes nothing outside the target folder.
int WalkPackage(uint8_t* image, uint32_t size, const char* target_folder, const char* name_filter,
                const PackageSink* sink);

// The installer's result for a walk's result: 0 when nothing failed, -1 for
// no package, -(100 + n) for n failed entries.
int PackageResult(int walk_result);
