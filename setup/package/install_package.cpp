// The install package in the installer's own module, and the file writes.
//
// How it works. The package is resource RCDATA 100, found and loaded with
// FindResourceA, LoadResource, LockResource and SizeofResource. Resource
// memory is part of the mapped executable image and read-only, yet entries
// are deciphered where they lie. We make the resource's pages writable with
// VirtualProtect (image pages become private copy-on-write pages, so the file
// on disk is never touched) rather than copying the package to the heap: the
// package is several megabytes and nothing but its directory needs a copy.
// The old protection is put back afterwards. The deciphered bytes stay in the
// image, so a second extraction in the same run meets plain bytes, deciphers
// them once more and fails every digest.
//
// The portable walk does the rest; the sink here writes each file new: what
// has its name is deleted as itself first (a file or a link, never what a
// link leads to), then one CreateFileA (no sharing, CREATE_NEW, not through
// a link, FILE_ATTRIBUTE_NORMAL) and one WriteFile of all its bytes. A
// create that went on through a link would write the link's target, as
// administrator, wherever it lies.
#include "setup/package/install_package.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "setup/package/package_reader.h"
#include "setup/paths/folder_chain.h"
#include "setup/log/run_log.h"

// The package resource's bytes in the module image; null when missing.
static uint8_t* FindPackage(HINSTANCE module, uint32_t* size) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(kPackageResourceId), RT_RCDATA);
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return nullptr;
  void* bytes = LockResource(loaded);
  if (bytes == nullptr) return nullptr;
  *size = SizeofResource(module, found);
  return static_cast<uint8_t*>(bytes);
}

// Counts the entries whose bytes are not what the directory says: out of
// bounds, empty, or deciphering to another digest. (A name the extraction
// refuses is no damage: the walks themselves step over it.)
static void CountDamage(void* user, int, const PackageEntry*, int status, int) {
  if (status == kEntryOutOfBounds || status == kEntryEmpty || status == kEntryBadDigest) {
    ++*static_cast<int*>(user);
  }
}

// Every entry of a copy of the package deciphers to its digest: the resource
// itself stays enciphered for the extraction.
static bool EveryEntryVerifies(const uint8_t* image, uint32_t size) {
  auto* copy = static_cast<uint8_t*>(std::malloc(size));
  if (copy == nullptr) return false;
  std::memcpy(copy, image, size);
  int damaged = 0;
  PackageSink verify_only = {};
  verify_only.user = &damaged;
  verify_only.entry_done = CountDamage;
  WalkPackage(copy, size, "", nullptr, &verify_only);
  std::free(copy);
  return damaged == 0;
}

int CheckPackage(HINSTANCE module, PackageEntry directory[kPackageEntryCount]) {
  uint32_t size = 0;
  const uint8_t* image = FindPackage(module, &size);
  if (image == nullptr || size <= kPackageDirectorySize) return -1;
  if (!EveryEntryVerifies(image, size)) return -1;
  std::memcpy(directory, image, kPackageDirectorySize);
  return 0;
}

static int MakeFolder(void*, const char* folder) {
  return CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

int CreateFolderChain(const char* path) { return WalkFolderChain(path, MakeFolder, nullptr); }

static int CreateFolders(void*, const char* folder) { return CreateFolderChain(folder); }

static int WriteWholeFile(void*, const char* path, const uint8_t* bytes, uint32_t size) {
  DeleteFileA(path);  // a folder (a junction too) stays, and the create fails
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

// For the run's log: each entry written, with its size and digest, or why
// a selected one was not.
static void LogEntry(void* user, int, const PackageEntry* entry, int status, int selected) {
  if (!selected) return;
  const char* target_folder = static_cast<const char*>(user);
  if (status != kEntryVerified) {
    LogRun("not extracted: %s (%s)", entry->name, PackageEntryStatusText(status));
    return;
  }
  char digest[33];
  for (int i = 0; i < 16; ++i) std::snprintf(digest + 2 * i, 3, "%02x", entry->digest[i]);
  LogRun("extracted %s\\%s, %lu bytes, MD5 %s", target_folder, entry->name,
         static_cast<unsigned long>(entry->size), digest);
}

int ExtractPackageImage(uint8_t* image, uint32_t size, const char* target_folder,
                        const char* name_filter) {
  PackageSink sink = {};
  sink.user = const_cast<char*>(target_folder);
  sink.create_folders = CreateFolders;
  sink.write_file = WriteWholeFile;
  if (IsRunLogOpen()) sink.entry_done = LogEntry;
  return PackageResult(WalkPackage(image, size, target_folder, name_filter, &sink));
}

int ExtractPackage(HINSTANCE module, const char* target_folder,
                   PackageEntry directory[kPackageEntryCount], const char* name_filter) {
  uint32_t size = 0;
  uint8_t* image = FindPackage(module, &size);
  if (image == nullptr || size <= kPackageDirectorySize) return -1;
  std::memcpy(directory, image, kPackageDirectorySize);
  DWORD old_protection = 0;
  if (!VirtualProtect(image, size, PAGE_READWRITE, &old_protection)) return -1;
  const int result = ExtractPackageImage(image, size, target_folder, name_filter);
  DWORD ignored = 0;
  VirtualProtect(image, size, old_protection, &ignored);
  return result;
}
