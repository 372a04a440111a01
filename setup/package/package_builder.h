// Building a package: the inverse of the walk, for mkpackage and the tests.
//
// The caller measures the package, provides a buffer of exactly that size and
// builds into it. Entries are stored back to back in directory order from the
// end of the directory, each enciphered with the chain state the reader will
// have when it gets there.
#pragma once

#include <cstdint>

#include "setup/package/package_format.h"

// One entry to pack: its name as it goes into the directory and its plain data.
struct PackageSource {
  const char* name;
  const uint8_t* bytes;
  uint32_t size;
};

// The size of the package made from these 25 sources, or 0 when a name is not
// safe (IsSafeEntryName) or does not fit its 128 bytes with the NUL, a source
// is empty, or the package would not fit 32 bits.
uint32_t MeasurePackage(const PackageSource sources[kPackageEntryCount]);

// Builds the package into `out`, whose `out_size` must be MeasurePackage's
// result. Returns 1, or 0 (nothing useful in `out`) for sources that
// MeasurePackage refuses or a wrong size. The reserved field is zero.
int BuildPackage(const PackageSource sources[kPackageEntryCount], uint8_t* out, uint32_t out_size);
