// The running program's file: see running_image.h.
//
// How the file is matched with the image. The headers must be those mapped
// (the loader writes the base it chose into the mapped ImageBase, which is
// left out). Then every section the image can't write is read from the file,
// the file's base relocations are applied to that copy for the distance
// between the preferred base and the chosen one, and the copy must equal
// the mapped bytes; the import address table, which the loader fills, is
// taken as mapped. Writable sections may have changed since the start and
// are not compared. So a file with the same headers and other code, data or
// resources is refused.
#include "setup/system/running_image.h"

#include <cstdint>
#include <cstring>

// Reads `size` bytes of `file` at `offset` into `bytes`: 1 when all came.
static int ReadAt(HANDLE file, uint32_t offset, void* bytes, uint32_t size) {
  OVERLAPPED at = {};
  at.Offset = offset;
  DWORD got = 0;
  return ReadFile(file, bytes, size, &got, &at) && got == size;
}

// Adds `delta` to each relocated word of the section copy `bytes`, which
// holds the `size` bytes at `rva`. `relocations` holds the file's base
// relocation blocks. 0 when a block is malformed or a fix-up is of a kind
// this image should not have or reaches past the copy.
static int ApplyRelocations(uint8_t* bytes, uint32_t rva, uint32_t size, const uint8_t* relocations,
                            uint32_t relocations_size, uint64_t delta) {
  for (uint32_t at = 0; at + 8 <= relocations_size;) {
    uint32_t page = 0;
    uint32_t block_size = 0;
    std::memcpy(&page, relocations + at, 4);
    std::memcpy(&block_size, relocations + at + 4, 4);
    if (block_size < 8 || block_size > relocations_size - at) return 0;
    for (uint32_t entry = at + 8; entry + 2 <= at + block_size; entry += 2) {
      uint16_t fixup = 0;
      std::memcpy(&fixup, relocations + entry, 2);
      const int type = fixup >> 12;
      if (type == IMAGE_REL_BASED_ABSOLUTE) continue;  // padding
      const uint32_t width = type == IMAGE_REL_BASED_HIGHLOW ? 4
                             : type == IMAGE_REL_BASED_DIR64 ? 8
                                                             : 0;
      if (width == 0) return 0;
      const uint64_t target = static_cast<uint64_t>(page) + (fixup & 0x0FFF);
      if (target + width <= rva || target >= static_cast<uint64_t>(rva) + size) continue;
      if (target < rva || target + width > static_cast<uint64_t>(rva) + size) return 0;
      uint8_t* word = bytes + (target - rva);
      if (width == 4) {
        uint32_t value = 0;
        std::memcpy(&value, word, 4);
        value += static_cast<uint32_t>(delta);
        std::memcpy(word, &value, 4);
      } else {
        uint64_t value = 0;
        std::memcpy(&value, word, 8);
        value += delta;
        std::memcpy(word, &value, 8);
      }
    }
    at += block_size;
  }
  return 1;
}

// The file offset of `size` bytes at `rva`, when one section's file data
// holds them all.
static int FileOffsetOf(const IMAGE_SECTION_HEADER* sections, int count, uint32_t rva,
                        uint32_t size, uint32_t* offset) {
  for (int i = 0; i < count; ++i) {
    const IMAGE_SECTION_HEADER& s = sections[i];
    if (rva >= s.VirtualAddress && rva - s.VirtualAddress <= s.SizeOfRawData &&
        size <= s.SizeOfRawData - (rva - s.VirtualAddress)) {
      *offset = s.PointerToRawData + (rva - s.VirtualAddress);
      return 1;
    }
  }
  return 0;
}

// Every section the image can't write: the file's bytes, relocated, are the
// mapped ones (see the note above). `header` is the file's own header copy.
static int SectionsMatch(HANDLE file, const uint8_t* base, const uint8_t* header,
                         uint32_t header_bytes) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(header);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(header + dos->e_lfanew);
  const int count = nt->FileHeader.NumberOfSections;
  const size_t table = static_cast<size_t>(dos->e_lfanew) +
                       offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                       nt->FileHeader.SizeOfOptionalHeader;
  if (count > 96 || table % alignof(IMAGE_SECTION_HEADER) != 0 ||
      table + sizeof(IMAGE_SECTION_HEADER) * static_cast<size_t>(count) > header_bytes) {
    return 0;
  }
  const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(header + table);
  const IMAGE_DATA_DIRECTORY& relocation_directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
  const IMAGE_DATA_DIRECTORY& iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  const uint64_t delta = reinterpret_cast<uintptr_t>(base) - nt->OptionalHeader.ImageBase;

  HANDLE heap = GetProcessHeap();
  uint8_t* relocations = nullptr;
  const uint32_t relocations_size = relocation_directory.Size;
  if (relocations_size > 0) {
    uint32_t offset = 0;
    relocations = static_cast<uint8_t*>(HeapAlloc(heap, 0, relocations_size));
    if (relocations == nullptr ||
        !FileOffsetOf(sections, count, relocation_directory.VirtualAddress, relocations_size,
                      &offset) ||
        !ReadAt(file, offset, relocations, relocations_size)) {
      if (relocations != nullptr) HeapFree(heap, 0, relocations);
      return 0;
    }
  } else if (delta != 0) {
    return 0;  // moved, yet nothing says what the move changed
  }
  int match = 1;
  for (int i = 0; match && i < count; ++i) {
    const IMAGE_SECTION_HEADER& s = sections[i];
    if (s.Characteristics & IMAGE_SCN_MEM_WRITE) continue;
    const uint32_t size = s.Misc.VirtualSize != 0 && s.Misc.VirtualSize < s.SizeOfRawData
                              ? s.Misc.VirtualSize
                              : s.SizeOfRawData;
    if (size == 0) continue;
    auto* copy = static_cast<uint8_t*>(HeapAlloc(heap, 0, size));
    match = copy != nullptr && ReadAt(file, s.PointerToRawData, copy, size) &&
            ApplyRelocations(copy, s.VirtualAddress, size, relocations, relocations_size, delta);
    if (match && iat.Size > 0) {
      const uint64_t from =
          iat.VirtualAddress > s.VirtualAddress ? iat.VirtualAddress : s.VirtualAddress;
      const uint64_t to_iat = static_cast<uint64_t>(iat.VirtualAddress) + iat.Size;
      const uint64_t to_section = static_cast<uint64_t>(s.VirtualAddress) + size;
      const uint64_t to = to_iat < to_section ? to_iat : to_section;
      if (from < to) {
        std::memcpy(copy + (from - s.VirtualAddress), base + from, static_cast<size_t>(to - from));
      }
    }
    match = match && std::memcmp(copy, base + s.VirtualAddress, size) == 0;
    if (copy != nullptr) HeapFree(heap, 0, copy);
  }
  if (relocations != nullptr) HeapFree(heap, 0, relocations);
  return match;
}

int IsImageOfModule(HANDLE file, HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  // The headers are read as records in place: they must lie where such a
  // record may (every linker puts them so).
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 1024 ||
      dos->e_lfanew % alignof(IMAGE_NT_HEADERS) != 0) {
    return 0;
  }
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const DWORD header_bytes = nt->OptionalHeader.SizeOfHeaders;
  alignas(IMAGE_NT_HEADERS) unsigned char header[4096];
  if (nt->Signature != IMAGE_NT_SIGNATURE || header_bytes == 0 || header_bytes > sizeof header ||
      static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS) > header_bytes) {
    return 0;
  }
  if (!ReadAt(file, 0, header, header_bytes)) return 0;
  // The loader writes the base it chose into the mapped header; the file's
  // own is kept for the relocations.
  alignas(IMAGE_NT_HEADERS) unsigned char file_header[4096];
  std::memcpy(file_header, header, header_bytes);
  const size_t image_base = static_cast<size_t>(
      reinterpret_cast<const unsigned char*>(&nt->OptionalHeader.ImageBase) - base);
  std::memcpy(header + image_base, &nt->OptionalHeader.ImageBase,
              sizeof nt->OptionalHeader.ImageBase);
  if (std::memcmp(header, base, header_bytes) != 0) return 0;
  return SectionsMatch(file, base, file_header, header_bytes);
}

HANDLE OpenImageFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE ? file : nullptr;
}

HANDLE OpenRunningImage(char* path, size_t path_size) {
  if (path_size == 0) return nullptr;
  const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(path_size));
  if (length == 0 || length >= path_size) {
    path[0] = '\0';
    return nullptr;
  }
  HANDLE file = OpenImageFile(path);
  if (file == nullptr) return nullptr;
  if (!IsImageOfModule(file, GetModuleHandleA(nullptr))) {
    CloseHandle(file);
    return nullptr;
  }
  return file;
}
