// The install package as the installer uses it: resource RCDATA 100 of its
// own module, checked, deciphered and written into the target folder.
//
// Windows layer over the portable walk (package_reader.h). All functions run
// on the calling thread and return the installer's result codes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "setup/package/package_format.h"

constexpr int kPackageResourceId = 100;  // of type RT_RCDATA

// CheckPackage: 0 when resource RCDATA 100 of `module` (null: the
// executable) exists, loads, is larger than 3,900 bytes and every entry's
// bytes are in bounds and decipher to its digest (from a copy, so that a
// damaged package is found before anything is written); the directory is then copied into
// `directory`. -1 otherwise (`directory` is not changed).
int CheckPackage(HINSTANCE module, PackageEntry directory[kPackageEntryCount]);

// ExtractPackage: deciphers the package resource of `module` in place (the
// module's copy of it: a second extraction in the same run fails every
// entry), verifies every entry and writes the verified ones that
// `name_filter` names exactly (all when it is null) into `target_folder`.
// Copies the directory into `directory` again. Returns 0, -1 when there is
// no package (also for one of 3,900 bytes or less), or -(100 + n) when n
// entries failed.
int ExtractPackage(HINSTANCE module, const char* target_folder,
                   PackageEntry directory[kPackageEntryCount], const char* name_filter);

// The same on a writable package image the caller owns (`image` of `size`
// bytes), for callers and tests that hold the package in memory.
int ExtractPackageImage(uint8_t* image, uint32_t size, const char* target_folder,
                        const char* name_filter);

// CreateFolderChain: creates every missing folder along `path` with
// CreateDirectoryA (see WalkFolderChain). 1 on success, 0 on failure.
int CreateFolderChain(const char* path);
