// mkpackage: builds, lists, verifies and extracts install packages.
//
// How it works. The package code is the installer's own (setup/): `build`
// packs the 25 files of the fixed directory order with BuildPackage, the other
// commands run the installer's walk (WalkPackage) over a private copy of the
// package, so what the tool accepts is exactly what the installer accepts.
// Given a Windows executable (a file that starts with "MZ") the tool takes
// the package from its resource RCDATA 100, found by reading the PE file
// itself, so a shipped installer can be checked on any machine.
//
// Built for the host (the build runs it to make the installer's resource) and
// for Windows. It uses the C library only: no <windows.h>.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#endif

#include "setup/package/md5.h"
#include "setup/package/package_builder.h"
#include "setup/package/package_format.h"
#include "setup/package/package_reader.h"
#include "tools/mkpackage_pe.h"
#include "tools/usage_error.h"

static const char kProgram[] = "mkpackage";

static const char kUsage[] =
    "usage: mkpackage build <folder> -o <package>\n"
    "       mkpackage list <package-or-exe>\n"
    "       mkpackage verify <package-or-exe>\n"
    "       mkpackage extract <package-or-exe> <folder> [name]\n"
    "       mkpackage --help\n";

static const char kHelp[] =
    "\n"
    "Builds and inspects the installer's install package: a 3,900-byte directory of\n"
    "25 entries (name, offset, size, MD5 of the plain data) followed by the entries'\n"
    "data, each enciphered with the package cipher and chained to the entries\n"
    "before it. The installer carries the package as resource RCDATA 100.\n"
    "\n"
    "  build <folder> -o <package>\n"
    "      Packs the 25 files of the fixed directory order from <folder> (names\n"
    "      compare exactly; a missing or empty file is an error) into <package>.\n"
    "  list <package-or-exe>\n"
    "      Prints the directory: number, offset, size, digest and name of each entry.\n"
    "  verify <package-or-exe>\n"
    "      Deciphers and checks every entry as the installer does and reports each\n"
    "      bad entry with its offset; as in the installer, every entry after the\n"
    "      first bad one counts as failed (\"follows a failed entry\" when it is\n"
    "      sound in itself). Writes nothing. Exit code 1 when any failed.\n"
    "  extract <package-or-exe> <folder> [name]\n"
    "      Writes the verified entries (or only the one called <name>) into\n"
    "      <folder>, creating it and any sub-folder an entry names; nothing from\n"
    "      the first failed entry on. Exit code 1 when any entry failed or no\n"
    "      entry is called <name>.\n"
    "\n"
    "A <package-or-exe> that starts with \"MZ\" is read as a Windows executable and\n"
    "the package is taken from its RCDATA 100 resource. Any other file is a package\n"
    "when it is larger than the directory and each of the 25 records holds a name\n"
    "(printable characters ended by a zero byte); other files are refused as not an\n"
    "install package.\n"
    "\n"
    "Exit codes: 0 success, 1 failure, 2 wrong usage.\n";

// ---------------------------------------------------------------------------
// Files.

struct Bytes {
  uint8_t* data;
  size_t size;
};

static void FreeBytes(Bytes* bytes) {
  std::free(bytes->data);
  bytes->data = nullptr;
  bytes->size = 0;
}

static bool IsFolder(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads a whole file; 1, or 0 with a message.
static int ReadWholeFile(const char* path, Bytes* out) {
  out->data = nullptr;
  out->size = 0;
  if (IsFolder(path)) {
    std::fprintf(stderr, "mkpackage: %s is a folder\n", path);
    return 0;
  }
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "mkpackage: %s: %s\n", path, std::strerror(errno));
    return 0;
  }
  size_t capacity = 1 << 16;
  uint8_t* data = static_cast<uint8_t*>(std::malloc(capacity));
  size_t size = 0;
  while (data != nullptr) {
    size += std::fread(data + size, 1, capacity - size, f);
    if (size < capacity) break;
    uint8_t* bigger = capacity < (SIZE_MAX >> 1)
                          ? static_cast<uint8_t*>(std::realloc(data, capacity * 2))
                          : nullptr;
    if (bigger == nullptr) {
      std::free(data);
      data = nullptr;
    }
    data = bigger;
    capacity *= 2;
  }
  const bool failed = data == nullptr || std::ferror(f);
  std::fclose(f);
  if (failed) {
    std::fprintf(stderr, "mkpackage: %s: cannot read\n", path);
    std::free(data);
    return 0;
  }
  out->data = data;
  out->size = size;
  return 1;
}

static int WriteWholeFile(const char* path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return 0;
  const size_t written = size == 0 ? 0 : std::fwrite(data, 1, size, f);
  const int closed = std::fclose(f);
  return written == size && closed == 0;
}

static int MakeOneFolder(const char* path) {
#ifdef _WIN32
  return _mkdir(path) == 0 || errno == EEXIST;
#else
  return mkdir(path, 0777) == 0 || errno == EEXIST;
#endif
}

static bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Creates `path` and every missing folder above it; 1 or 0.
static int MakeFolders(const char* path) {
  char copy[4096];
  const size_t length = std::strlen(path);
  if (length == 0 || length >= sizeof copy) return 0;
  std::memcpy(copy, path, length + 1);
  for (size_t i = 1; i < length; ++i) {
    if (!IsSeparator(copy[i]) || IsSeparator(copy[i - 1]) || copy[i - 1] == ':') continue;
    const char separator = copy[i];
    copy[i] = '\0';
    MakeOneFolder(copy);
    copy[i] = separator;
  }
  return MakeOneFolder(copy);
}

// ---------------------------------------------------------------------------
// The package of a file: the file itself or its RCDATA 100.

struct LoadedPackage {
  Bytes file;
  uint8_t* image;  // inside `file`
  uint32_t size;
  size_t file_offset;  // where the package starts in the file
  bool from_exe;
};

// The number (1 … 25) of the first directory record whose name field holds
// no name: printable ASCII ended by a NUL within its 128 bytes; 0 when all
// do. Nothing else in a directory can tell a package from another file.
static int FirstRecordWithoutName(const uint8_t* directory) {
  for (int i = 0; i < kPackageEntryCount; ++i) {
    PackageEntry entry;
    LoadPackageEntry(directory, i, &entry);
    int length = 0;
    while (length < kPackageNameSize && entry.name[length] >= 0x20 && entry.name[length] < 0x7F) {
      ++length;
    }
    if (length == 0 || length == kPackageNameSize || entry.name[length] != '\0') return i + 1;
  }
  return 0;
}

static int LoadPackage(const char* path, LoadedPackage* package) {
  *package = LoadedPackage{};
  if (!ReadWholeFile(path, &package->file)) return 0;
  Bytes& file = package->file;
  if (file.size >= 2 && file.data[0] == 'M' && file.data[1] == 'Z') {
    size_t offset = 0;
    uint32_t size = 0;
    if (!FindPeResource(file.data, file.size, 10, 100, &offset, &size)) {
      std::fprintf(stderr, "mkpackage: %s: a Windows executable without resource RCDATA 100\n",
                   path);
      FreeBytes(&file);
      return 0;
    }
    package->image = file.data + offset;
    package->size = size;
    package->file_offset = offset;
    package->from_exe = true;
  } else if (file.size > UINT32_MAX) {
    std::fprintf(stderr, "mkpackage: %s: larger than a package can be\n", path);
    FreeBytes(&file);
    return 0;
  } else {
    package->image = file.data;
    package->size = static_cast<uint32_t>(file.size);
  }
  if (package->size <= kPackageDirectorySize) {
    std::fprintf(stderr,
                 "mkpackage: %s: not an install package: %u bytes (a package is larger than its "
                 "3,900-byte directory)\n",
                 path, package->size);
    FreeBytes(&file);
    return 0;
  }
  if (const int record = FirstRecordWithoutName(package->image)) {
    std::fprintf(stderr,
                 "mkpackage: %s: not an install package: directory record %d holds no name\n", path,
                 record);
    FreeBytes(&file);
    return 0;
  }
  return 1;
}

// A name field for printing: up to its NUL (or all 128 bytes), with anything
// but printable ASCII shown as '?'.
static void PrintableName(const PackageEntry* entry, char out[kPackageNameSize + 1]) {
  int i = 0;
  for (; i < kPackageNameSize && entry->name[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(entry->name[i]);
    out[i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  }
  out[i] = '\0';
}

static void PrintDigest(const uint8_t digest[16]) {
  for (int i = 0; i < 16; ++i) std::printf("%02x", digest[i]);
}

// ---------------------------------------------------------------------------
// Commands.

static int Build(const char* folder, const char* output) {
  if (!IsFolder(folder)) {
    std::fprintf(stderr, "mkpackage: %s is not a folder\n", folder);
    return 1;
  }
  PackageSource sources[kPackageEntryCount] = {};
  Bytes files[kPackageEntryCount] = {};
  int problems = 0;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    char path[4096];
    const int n = std::snprintf(path, sizeof path, "%s/%s", folder, kPackageEntryNames[i]);
    if (n < 0 || n >= static_cast<int>(sizeof path)) {
      std::fprintf(stderr, "mkpackage: %s: path too long\n", folder);
      ++problems;
      continue;
    }
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
      std::fprintf(stderr, "mkpackage: missing file %s (entry %d of %d)\n", path, i + 1,
                   kPackageEntryCount);
      ++problems;
      continue;
    }
    if (!ReadWholeFile(path, &files[i])) {
      ++problems;
      continue;
    }
    if (files[i].size == 0 || files[i].size > UINT32_MAX) {
      std::fprintf(stderr, "mkpackage: %s: %s (entry %d)\n", path,
                   files[i].size == 0 ? "empty; every entry holds at least one byte"
                                      : "too large for a package",
                   i + 1);
      ++problems;
      continue;
    }
    sources[i].name = kPackageEntryNames[i];
    sources[i].bytes = files[i].data;
    sources[i].size = static_cast<uint32_t>(files[i].size);
  }
  int status = 1;
  if (problems == 0) {
    const uint32_t size = MeasurePackage(sources);
    uint8_t* package = size != 0 ? static_cast<uint8_t*>(std::malloc(size)) : nullptr;
    if (package == nullptr || !BuildPackage(sources, package, size)) {
      std::fprintf(stderr, "mkpackage: the files do not fit one package\n");
    } else {
      // Written under a temporary name first, so that an interrupted build
      // leaves no half package that looks up to date.
      char temporary[4096];
      const int n = std::snprintf(temporary, sizeof temporary, "%s.part", output);
      if (n > 0 && n < static_cast<int>(sizeof temporary) &&
          WriteWholeFile(temporary, package, size)) {
        std::remove(output);
        if (std::rename(temporary, output) == 0) {
          std::printf("mkpackage: %s: %d entries, %u bytes\n", output, kPackageEntryCount, size);
          status = 0;
        }
      }
      if (status != 0) {
        std::fprintf(stderr, "mkpackage: %s: cannot write\n", output);
        std::remove(temporary);
      }
    }
    std::free(package);
  }
  for (Bytes& file : files) FreeBytes(&file);
  return status;
}

static int List(const char* path) {
  LoadedPackage package;
  if (!LoadPackage(path, &package)) return 1;
  std::printf("%s: %u bytes", path, package.size);
  if (package.from_exe) {
    std::printf(" (resource RCDATA 100 at file offset %llu)",
                static_cast<unsigned long long>(package.file_offset));
  }
  std::printf("\n  #     offset       size  md5 of the plain data             name\n");
  for (int i = 0; i < kPackageEntryCount; ++i) {
    PackageEntry entry;
    LoadPackageEntry(package.image, i, &entry);
    char name[kPackageNameSize + 1];
    PrintableName(&entry, name);
    std::printf("%3d %10u %10u  ", i + 1, entry.offset, entry.size);
    PrintDigest(entry.digest);
    std::printf("  %s\n", name);
  }
  FreeBytes(&package.file);
  return 0;
}

struct Report {
  const LoadedPackage* package;
  int failed;
  int written;
  int matched;  // entries the name filter selected
};

static void ReportEntry(void* user, int index, const PackageEntry* entry, int status,
                        int selected) {
  Report* report = static_cast<Report*>(user);
  if (selected) ++report->matched;
  if (status == kEntryVerified) return;
  ++report->failed;
  char name[kPackageNameSize + 1];
  PrintableName(entry, name);
  std::printf("entry %d \"%s\": offset %u", index + 1, name, entry->offset);
  if (report->package->from_exe) {
    std::printf(" (file offset %llu)",
                static_cast<unsigned long long>(report->package->file_offset) + entry->offset);
  }
  std::printf(", size %u: %s\n", entry->size, PackageEntryStatusText(status));
}

static int Verify(const char* path) {
  LoadedPackage package;
  if (!LoadPackage(path, &package)) return 1;
  Report report = {&package, 0, 0, 0};
  PackageSink sink = {};
  sink.user = &report;
  sink.entry_done = ReportEntry;
  WalkPackage(package.image, package.size, nullptr, nullptr, &sink);
  FreeBytes(&package.file);
  if (report.failed != 0) {
    std::printf("%s: %d of %d entries failed\n", path, report.failed, kPackageEntryCount);
    return 1;
  }
  std::printf("%s: all %d entries verified\n", path, kPackageEntryCount);
  return 0;
}

struct ExtractTarget {
  Report report;
  const char* folder;
};

// The walk joins paths with '\'; on the host the part below the target
// folder is turned into the host's own separators.
static void HostPath(const ExtractTarget* target, const char* path, char* out, size_t out_size) {
  std::snprintf(out, out_size, "%s", path);
#ifndef _WIN32
  for (char* c = out + std::strlen(target->folder); *c != '\0'; ++c) {
    if (*c == '\\') *c = '/';
  }
#else
  (void)target;
#endif
}

static int CreateEntryFolders(void* user, const char* folder) {
  char host[kPathSize];
  HostPath(static_cast<ExtractTarget*>(user), folder, host, sizeof host);
  return MakeFolders(host);
}

static int WriteEntry(void* user, const char* path, const uint8_t* bytes, uint32_t size) {
  ExtractTarget* target = static_cast<ExtractTarget*>(user);
  char host[kPathSize];
  HostPath(target, path, host, sizeof host);
  if (!WriteWholeFile(host, bytes, size)) {
    std::fprintf(stderr, "mkpackage: %s: %s\n", host, std::strerror(errno));
    return 0;
  }
  ++target->report.written;
  return 1;
}

static void ReportExtracted(void* user, int index, const PackageEntry* entry, int status,
                            int selected) {
  ReportEntry(&static_cast<ExtractTarget*>(user)->report, index, entry, status, selected);
}

static int Extract(const char* path, const char* folder, const char* name) {
  LoadedPackage package;
  if (!LoadPackage(path, &package)) return 1;
  if (!MakeFolders(folder)) {
    std::fprintf(stderr, "mkpackage: %s: cannot create the folder\n", folder);
    FreeBytes(&package.file);
    return 1;
  }
  ExtractTarget target = {{&package, 0, 0, 0}, folder};
  PackageSink sink = {};
  sink.user = &target;
  sink.create_folders = CreateEntryFolders;
  sink.write_file = WriteEntry;
  sink.entry_done = ReportExtracted;
  WalkPackage(package.image, package.size, folder, name, &sink);
  FreeBytes(&package.file);
  std::printf("%s: wrote %d file(s) into %s", path, target.report.written, folder);
  if (target.report.failed != 0) {
    std::printf("; %d of %d entries failed\n", target.report.failed, kPackageEntryCount);
    return 1;
  }
  std::printf("\n");
  if (name != nullptr && target.report.matched == 0) {
    std::fprintf(stderr, "mkpackage: no entry is called \"%s\" (names compare exactly)\n", name);
    return 1;
  }
  return 0;
}

struct Command {
  const char* name;
  int least, most;    // file and folder arguments
  const char* needs;  // what a short command line misses
};

static const Command kCommands[] = {
    {"build", 1, 1, "a folder and -o <package>"},
    {"list", 1, 1, "a package or executable"},
    {"verify", 1, 1, "a package or executable"},
    {"extract", 2, 3, "a package or executable and a folder"},
};

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  if (argc < 2) return UsageError(kProgram, "no command given");
  const Command* command = nullptr;
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) command = &c;
  }
  if (command == nullptr) {
    return UsageError(kProgram, argv[1][0] == '-' ? "unknown option '%s'" : "unknown command '%s'",
                      argv[1]);
  }
  const bool build = command == &kCommands[0];
  const char* args[3] = {};
  int count = 0;
  const char* output = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (build && std::strcmp(argv[i], "-o") == 0) {
      if (i + 1 >= argc) return UsageError(kProgram, "-o needs a value");
      output = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return UsageError(kProgram, "unknown option '%s'", argv[i]);
    } else if (count == command->most) {
      return UsageError(kProgram, "unexpected argument '%s'", argv[i]);
    } else {
      args[count++] = argv[i];
    }
  }
  if (count < command->least || (build && output == nullptr)) {
    return UsageError(kProgram, "%s needs %s", command->name, command->needs);
  }
  if (build) return Build(args[0], output);
  if (command == &kCommands[1]) return List(args[0]);
  if (command == &kCommands[2]) return Verify(args[0]);
  return Extract(args[0], args[1], args[2]);
}
