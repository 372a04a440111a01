// The running program's file: see running_image.h.
#include "setup/system/running_image.h"

#include <cstring>

int IsImageOfModule(HANDLE file, HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 1024) return 0;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const DWORD header_bytes = nt->OptionalHeader.SizeOfHeaders;
  unsigned char header[4096];
  if (nt->Signature != IMAGE_NT_SIGNATURE || header_bytes == 0 || header_bytes > sizeof header) {
    return 0;
  }
  OVERLAPPED start = {};
  DWORD got = 0;
  if (!ReadFile(file, header, header_bytes, &got, &start) || got != header_bytes) return 0;
  // The loader writes the base it chose into the mapped header.
  const size_t image_base = static_cast<size_t>(
      reinterpret_cast<const unsigned char*>(&nt->OptionalHeader.ImageBase) - base);
  std::memcpy(header + image_base, &nt->OptionalHeader.ImageBase,
              sizeof nt->OptionalHeader.ImageBase);
  return std::memcmp(header, base, header_bytes) == 0 ? 1 : 0;
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
