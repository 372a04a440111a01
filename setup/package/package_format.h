// The install package's byte format, and the name rule of its entries.
//
// A package is a 3,900-byte directory of 25 PackageEntry records followed by
// the entries' enciphered data. Nothing else marks it: no magic number, no
// count, no checksum of the whole; the size of the package is the size of the
// resource (or file) that holds it, and it must be larger than the directory.
// All integers are little-endian. Records are read and written through
// LoadPackageEntry and StorePackageEntry, which take care of byte order and
// alignment, so a record can be read straight out of any byte image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "setup/paths/path_text.h"

constexpr int kPackageEntryCount = 25;
constexpr uint32_t kPackageEntrySize = 156;
constexpr uint32_t kPackageDirectorySize = kPackageEntryCount * kPackageEntrySize;  // 3,900
constexpr int kPackageNameSize = 128;

// One directory record, 156 bytes, byte for byte as stored (on a little-endian
// machine). `size` is at least 1 in a valid package.
struct PackageEntry {
  char name[kPackageNameSize];  // ASCII, NUL-terminated, zero-filled; '\' separates sub-folders
  uint32_t offset;              // start of the entry's data, from the start of the package
  uint32_t size;                // bytes of data
  uint8_t digest[16];           // MD5 of the deciphered data
  uint8_t reserved[4];          // carried along, never read
};

static_assert(sizeof(PackageEntry) == 156, "a directory record is 156 bytes");
static_assert(offsetof(PackageEntry, name) == 0, "name at 0");
static_assert(offsetof(PackageEntry, offset) == 128, "offset at 128");
static_assert(offsetof(PackageEntry, size) == 132, "size at 132");
static_assert(offsetof(PackageEntry, digest) == 136, "digest at 136");
static_assert(offsetof(PackageEntry, reserved) == 152, "reserved at 152");
static_assert(sizeof(PackageEntry[kPackageEntryCount]) == 3900, "the directory is 3,900 bytes");

// The 25 file names of the delivered package, in directory order.
extern const char* const kPackageEntryNames[kPackageEntryCount];

// Reads record `index` (0 … 24) from a directory image of at least 3,900
// bytes. The name field is copied as stored, NUL or not.
void LoadPackageEntry(const uint8_t* directory, int index, PackageEntry* entry);

// Writes `entry` as record `index` (0 … 24) of a directory image.
void StorePackageEntry(uint8_t* directory, int index, const PackageEntry* entry);

// 1 when a name field may be written below a target folder: it has its NUL
// within the 128 bytes and names a relative path that stays inside the folder
// and names exactly the file it says. 0 for an empty name, a leading '\' or
// '/', a ':' anywhere (drive letters and stream names), a control character,
// an empty component, a component made of dots and blanks only ("..", and
// the "...", ". ." forms Windows shortens to it), a component ending in a dot
// or a blank (Windows drops them, so "readme.txt." would be "readme.txt"), or
// a component that Windows opens as a device: CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0-COM9 and LPT0-LPT9 in any case, with or without an extension
// or trailing blanks ("nul.txt", "Com1 .log"), or a component of the shape of
// a short 8.3 name with a tilde ("BRINDL~1.EXE"), which may open another
// file. Both '\' and '/' count as separators, as they do for Windows.
int IsSafeEntryName(const char name[kPackageNameSize]);

// 1 when two entry names name the same file on Windows: equal but for the
// letter case of ASCII letters and '/' for '\'. A package holds each file
// once; a later entry of an earlier entry's name counts as unsafe.
int SameEntryName(const char* a, const char* b);
