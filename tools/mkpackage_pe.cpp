// The PE resource lookup of mkpackage.
//
// How it works. The DOS header leads to the PE signature, the file header and
// the optional header (PE32 or PE32+), whose data directory 2 gives the
// address (an RVA) of the resource directory. RVAs are turned into file
// offsets through the section table. The resource directory is a three-level
// tree (type, name, language) of directories whose entries point, relative to
// the tree's root, at sub-directories or, at the last level, at data entries,
// which hold the RVA and size of the resource's bytes. Only numeric types and
// names are looked at, and only three levels are ever descended, so a
// malicious tree cannot loop.
#include "tools/mkpackage_pe.h"

static uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

static uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct PeImage {
  const uint8_t* file;
  uint64_t file_size;
  uint64_t sections;  // file offset of the section table
  uint32_t section_count;
};

// 1 when [at, at + length) lies inside the file.
static bool InFile(const PeImage& pe, uint64_t at, uint64_t length) {
  return at <= pe.file_size && length <= pe.file_size - at;
}

// The file offset of `length` bytes at `rva`, inside one section's raw data.
static bool RvaToOffset(const PeImage& pe, uint64_t rva, uint64_t length, uint64_t* offset) {
  for (uint32_t i = 0; i < pe.section_count; ++i) {
    const uint8_t* section = pe.file + pe.sections + 40ull * i;
    const uint64_t address = Read32(section + 12);
    const uint64_t raw_size = Read32(section + 16);
    const uint64_t raw_offset = Read32(section + 20);
    if (rva < address || rva - address > raw_size || length > raw_size - (rva - address)) {
      continue;
    }
    *offset = raw_offset + (rva - address);
    return InFile(pe, *offset, length);
  }
  return false;
}

// In the resource directory at `root_rva` + `directory`, finds the entry with
// numeric id `id` (or the first entry when `id` is negative); gives its
// OffsetToData word.
static bool FindDirectoryEntry(const PeImage& pe, uint64_t root_rva, uint64_t directory, int64_t id,
                               uint32_t* target) {
  uint64_t at = 0;
  if (!RvaToOffset(pe, root_rva + directory, 16, &at)) return false;
  const uint32_t named = Read16(pe.file + at + 12);
  const uint32_t numbered = Read16(pe.file + at + 14);
  const uint64_t count = static_cast<uint64_t>(named) + numbered;
  if (count == 0) return false;
  uint64_t entries = 0;
  if (!RvaToOffset(pe, root_rva + directory + 16, 8 * count, &entries)) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = pe.file + entries + 8 * i;
    const uint32_t name = Read32(entry);
    // A named entry has its high bit set, so it never equals a numeric id.
    if (id < 0 || name == static_cast<uint64_t>(id)) {
      *target = Read32(entry + 4);
      return true;
    }
  }
  return false;
}

int FindPeResource(const uint8_t* file, size_t file_size, uint32_t type, uint32_t id,
                   size_t* offset, uint32_t* size) {
  PeImage pe = {file, file_size, 0, 0};
  if (!InFile(pe, 0, 64) || file[0] != 'M' || file[1] != 'Z') return 0;
  const uint64_t header = Read32(file + 0x3C);
  if (!InFile(pe, header, 24) || Read32(file + header) != 0x00004550u) return 0;  // "PE\0\0"
  pe.section_count = Read16(file + header + 6);
  const uint64_t optional_size = Read16(file + header + 20);
  const uint64_t optional = header + 24;
  if (!InFile(pe, optional, optional_size) || optional_size < 2) return 0;
  uint64_t count_at = 0;
  const uint32_t magic = Read16(file + optional);
  if (magic == 0x10b) {
    count_at = 92;  // PE32
  } else if (magic == 0x20b) {
    count_at = 108;  // PE32+
  } else {
    return 0;
  }
  if (optional_size < count_at + 4 + 3 * 8) return 0;
  if (Read32(file + optional + count_at) < 3) return 0;
  const uint64_t resource_rva = Read32(file + optional + count_at + 4 + 2 * 8);
  pe.sections = optional + optional_size;
  if (!InFile(pe, pe.sections, 40ull * pe.section_count) || resource_rva == 0) return 0;

  uint32_t level = 0;
  if (!FindDirectoryEntry(pe, resource_rva, 0, type, &level) || !(level & 0x80000000u)) return 0;
  if (!FindDirectoryEntry(pe, resource_rva, level & 0x7FFFFFFFu, id, &level) ||
      !(level & 0x80000000u)) {
    return 0;
  }
  if (!FindDirectoryEntry(pe, resource_rva, level & 0x7FFFFFFFu, -1, &level) ||
      (level & 0x80000000u)) {
    return 0;
  }
  uint64_t data_entry = 0;
  if (!RvaToOffset(pe, resource_rva + level, 16, &data_entry)) return 0;
  const uint32_t data_rva = Read32(file + data_entry);
  const uint32_t data_size = Read32(file + data_entry + 4);
  uint64_t data = 0;
  if (!RvaToOffset(pe, data_rva, data_size, &data)) return 0;
  *offset = static_cast<size_t>(data);
  *size = data_size;
  return 1;
}
