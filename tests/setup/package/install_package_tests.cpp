// The Windows layer of the install package, under Wine: the package resource
// of the running program and of loaded modules, real file writes, and
// CreateFolderChain on the file system.
//
// The program carries the fixture package as its own RCDATA 100. Extraction
// deciphers a module's image in place, so only one test extracts the
// program's own package; the others load a resource module that carries the
// same package (a fresh image per load) or extract from memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "setup/package/install_package.h"
#include "setup/package/package_builder.h"
#include "tests/wine/wine_files.h"
#include "tests/setup/package/package_model.h"
#include "tests/setup/test_files.h"

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\'));
}

// The fixture folder (a host path) as Wine sees it, on drive Z:.
std::string FixturePath(const char* name) {
  return WindowsPathOf(std::string(QX_FIXTURE_DIR) + "/" + name);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names of the files directly in a folder.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// A fresh, empty folder under the temporary folder, removed at the end.
struct ScratchFolder {
  std::string path;
  explicit ScratchFolder(const char* tag, bool create = true) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path = std::string(temp) + "qxpkg_" + tag + "_" + std::to_string(GetCurrentProcessId());
    RemoveTree(path);
    if (create) CreateDirectoryA(path.c_str(), nullptr);
  }
  ~ScratchFolder() { RemoveTree(path); }
  std::string operator/(const std::string& name) const { return path + "\\" + name; }
};

// What the installer keeps of a package: where it comes from, where it goes
// and the directory read from it.
struct InstallTarget {
  HINSTANCE instance;
  char target_folder[kPathSize];
  PackageEntry package_directory[kPackageEntryCount];
};

std::unique_ptr<InstallTarget> NewContext(HINSTANCE module, const std::string& target) {
  std::unique_ptr<InstallTarget> context(new InstallTarget());
  context->instance = module;
  std::snprintf(context->target_folder, sizeof context->target_folder, "%s", target.c_str());
  return context;
}

// A loaded resource module; unloaded (its image discarded) at the end.
struct ResourceModule {
  HMODULE handle;
  explicit ResourceModule(const char* kind) {
    const std::string path = ProgramFolder() + "\\package_module_" + kind + ".dll";
    handle = LoadLibraryA(path.c_str());
  }
  ~ResourceModule() {
    if (handle != nullptr) FreeLibrary(handle);
  }
};

void ExpectFixtureFiles(const std::string& folder) {
  for (int i = 0; i < kPackageEntryCount; ++i) {
    Bytes expected, actual;
    ASSERT_TRUE(ReadAll(FixturePath(kPackageEntryNames[i]), &expected)) << kPackageEntryNames[i];
    ASSERT_TRUE(ReadAll(folder + "\\" + kPackageEntryNames[i], &actual)) << kPackageEntryNames[i];
    EXPECT_EQ(actual, expected) << kPackageEntryNames[i];
  }
}

// The package resource of a module, made read-only as a linker that keeps
// resources in a read-only section leaves it (GNU ld's section is writable).
// Returns the resource's bytes.
uint8_t* MakeResourceReadOnly(HMODULE module) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA);
  if (found == nullptr) return nullptr;
  uint8_t* bytes = static_cast<uint8_t*>(LockResource(LoadResource(module, found)));
  DWORD old = 0;
  if (!VirtualProtect(bytes, SizeofResource(module, found), PAGE_READONLY, &old)) return nullptr;
  return bytes;
}

DWORD ProtectionOf(const void* address) {
  MEMORY_BASIC_INFORMATION info = {};
  VirtualQuery(address, &info, sizeof info);
  return info.Protect;
}

TEST(InstallPackage, ChecksAndExtractsTheProgramsOwnPackage) {
  ScratchFolder target("own");
  auto context = NewContext(nullptr, target.path);
  const uint8_t* resource = MakeResourceReadOnly(GetModuleHandleA(nullptr));
  ASSERT_NE(resource, nullptr);
  ASSERT_EQ(ProtectionOf(resource), static_cast<DWORD>(PAGE_READONLY));
  ASSERT_EQ(CheckPackage(context->instance, context->package_directory), 0);
  uint32_t at = kPackageDirectorySize;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const PackageEntry& e = context->package_directory[i];
    EXPECT_STREQ(e.name, kPackageEntryNames[i]);
    EXPECT_EQ(e.offset, at);
    at += e.size;
  }
  ASSERT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                           nullptr),
            0);
  EXPECT_EQ(FilesIn(target.path).size(), 25u);
  ExpectFixtureFiles(target.path);
  EXPECT_EQ(ProtectionOf(resource), static_cast<DWORD>(PAGE_READONLY));  // put back

  // The image now holds plain bytes: a second extraction in the same run
  // deciphers them again, fails every entry and writes nothing.
  Bytes before;
  ASSERT_TRUE(ReadAll(target / "readme.txt", &before));
  ASSERT_TRUE(WriteAll(target / "readme.txt", "changed"));
  EXPECT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                           nullptr),
            -125);
  Bytes after;
  ASSERT_TRUE(ReadAll(target / "readme.txt", &after));
  EXPECT_EQ(std::string(after.begin(), after.end()), "changed");
  // The check deciphers a copy of its own: plain bytes no longer verify.
  EXPECT_EQ(CheckPackage(context->instance, context->package_directory), -1);
}

TEST(InstallPackage, NameFilterOnALoadedModule) {
  ScratchFolder target("filter");
  {
    ResourceModule module("fixture");
    ASSERT_NE(module.handle, nullptr);
    ASSERT_NE(MakeResourceReadOnly(module.handle), nullptr);
    auto context = NewContext(module.handle, target.path);
    ASSERT_EQ(CheckPackage(context->instance, context->package_directory), 0);
    EXPECT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                             "QUILLAN_Setup.exe"),
              0);
    EXPECT_EQ(FilesIn(target.path), std::vector<std::string>{"QUILLAN_Setup.exe"});
    Bytes expected, actual;
    ASSERT_TRUE(ReadAll(FixturePath("QUILLAN_Setup.exe"), &expected));
    ASSERT_TRUE(ReadAll(target / "QUILLAN_Setup.exe", &actual));
    EXPECT_EQ(actual, expected);
  }
  DeleteFileA((target / "QUILLAN_Setup.exe").c_str());
  {
    // Reloaded, the module's image is enciphered again. Exact names only.
    ResourceModule module("fixture");
    auto context = NewContext(module.handle, target.path);
    EXPECT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                             "quillan_setup.exe"),
              0);
    EXPECT_TRUE(FilesIn(target.path).empty());
  }
}

TEST(InstallPackage, MissingAndTooSmallPackages) {
  ScratchFolder target("sizes");
  ResourceModule none("none"), small("3900"), least("3901");
  ASSERT_NE(none.handle, nullptr);
  ASSERT_NE(small.handle, nullptr);
  ASSERT_NE(least.handle, nullptr);
  // The modules carry what they should.
  for (auto [module, size] :
       {std::make_pair(small.handle, 3900u), std::make_pair(least.handle, 3901u)}) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(module, found), size);
  }

  for (HMODULE module : {none.handle, small.handle}) {
    auto context = NewContext(module, target.path);
    std::memset(context->package_directory, 0x5A, sizeof context->package_directory);
    EXPECT_EQ(CheckPackage(context->instance, context->package_directory), -1);
    EXPECT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                             nullptr),
              -1);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(context->package_directory)[100], 0x5A);
  }
  // 3,901 bytes are long enough, but its 25 zero records are empty entries
  // with empty names: the check refuses them, and an extraction fails all of
  // them and writes nothing.
  auto context = NewContext(least.handle, target.path);
  EXPECT_EQ(CheckPackage(context->instance, context->package_directory), -1);
  EXPECT_EQ(ExtractPackage(context->instance, context->target_folder, context->package_directory,
                           nullptr),
            -125);
  EXPECT_TRUE(FilesIn(target.path).empty());
}

Bytes BuildPackageOf(const std::vector<ModelEntry>& entries) {
  PackageSource sources[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const ModelEntry& e = entries[static_cast<size_t>(i)];
    sources[i] = {e.name.c_str(), e.data.data(), static_cast<uint32_t>(e.data.size())};
  }
  Bytes package(MeasurePackage(sources));
  EXPECT_EQ(BuildPackage(sources, package.data(), static_cast<uint32_t>(package.size())), 1);
  return package;
}

int ExtractCopy(const Bytes& package, const std::string& target, const char* filter) {
  Bytes image = package;
  return ExtractPackageImage(image.data(), static_cast<uint32_t>(image.size()), target.c_str(),
                             filter);
}

TEST(InstallPackage, SubFoldersAndReplacedFiles) {
  ScratchFolder target("files");
  std::vector<ModelEntry> entries = SampleEntries(21, {1, 100, 5000});
  entries[0].name = "drivers\\x64\\kxbm.sys";  // first: see the missing target below
  const Bytes package = BuildPackageOf(entries);
  // An existing, longer file of the same name is replaced, not overwritten in part.
  ASSERT_TRUE(WriteAll(target / "readme.txt", std::string(20000, 'x')));
  ASSERT_EQ(ExtractCopy(package, target.path, nullptr), 0);
  EXPECT_TRUE(IsFolder(target / "drivers\\x64"));
  for (const ModelEntry& e : entries) {
    Bytes actual;
    ASSERT_TRUE(ReadAll(target / e.name, &actual)) << e.name;
    EXPECT_EQ(actual, e.data) << e.name;
  }

  // A damaged entry just before the filtered one: nothing is written.
  ScratchFolder other("damaged");
  Bytes damaged = package;
  const PackageEntry before = EntryOf(package, 12);
  damaged[before.offset] ^= 0x20;
  EXPECT_LE(ExtractCopy(damaged, other.path, "QUILLAN_Setup.exe"), -102);
  EXPECT_TRUE(FilesIn(other.path).empty());

  // A target folder that does not exist: plain names cannot be written (the
  // installer creates the folder first), and nothing after the first of them
  // is tried, not even a sub-folder name that would make the folder.
  ScratchFolder missing("missing", false);
  std::vector<ModelEntry> plain_first = entries;
  std::swap(plain_first[0], plain_first[24]);
  EXPECT_EQ(ExtractCopy(BuildPackageOf(plain_first), missing.path, nullptr), -125);
  EXPECT_FALSE(Exists(missing.path));
}

// 1 when the system refuses to open a read-only file for writing. Windows
// does; Wine run as root does not, because root may write any Unix file and
// Wine keeps the read-only attribute as the file's Unix write permission.
bool ReadOnlyIsEnforced(const ScratchFolder& folder) {
  const std::string probe = folder / "probe";
  WriteAll(probe, "probe");
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE f = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(probe.c_str());
  return f == INVALID_HANDLE_VALUE;
}

TEST(InstallPackage, UnwritableTargetFileCountsAsFailed) {
  const std::vector<ModelEntry> entries = SampleEntries(22, {10, 300});
  const Bytes package = BuildPackageOf(entries);

  ScratchFolder target("readonly");
  if (ReadOnlyIsEnforced(target)) {
    ASSERT_TRUE(WriteAll(target / "readme.txt", "old"));
    ASSERT_TRUE(SetFileAttributesA((target / "readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ExtractCopy(package, target.path, nullptr), -104);  // readme.txt is entry 22
    Bytes kept;
    ASSERT_TRUE(ReadAll(target / "readme.txt", &kept));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
    EXPECT_EQ(FilesIn(target.path).size(), 22u);
  } else {
    std::printf(
        "note: read-only files are writable here (Wine as root); the read-only case "
        "is left to a real Windows run\n");
  }

  // The same failure on every system: a file held open without sharing, and
  // a folder standing where a file should go.
  ScratchFolder busy("busy");
  const std::string locked = busy / "readme.txt";
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ExtractCopy(package, busy.path, nullptr), -104);
  CloseHandle(held);
  Bytes empty;
  ASSERT_TRUE(ReadAll(locked, &empty));
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(FilesIn(busy.path).size(), 22u);  // the 21 before it and the held one

  ScratchFolder blocked("blocked");
  ASSERT_TRUE(CreateDirectoryA((blocked / "pin_out.ico").c_str(), nullptr));
  EXPECT_EQ(ExtractCopy(package, blocked.path, nullptr), -124);
  EXPECT_EQ(FilesIn(blocked.path).size(), 1u);
}

TEST(CreateFolderChain, MakesEveryFolderAlongThePath) {
  ScratchFolder base("chain");
  EXPECT_EQ(CreateFolderChain((base / "A\\B").c_str()), 1);
  EXPECT_TRUE(IsFolder(base / "A"));
  EXPECT_TRUE(IsFolder(base / "A\\B"));
  EXPECT_EQ(CreateFolderChain((base / "A\\B").c_str()), 1);  // all there already
  EXPECT_EQ(CreateFolderChain((base / "C\\D\\").c_str()), 1);
  EXPECT_TRUE(IsFolder(base / "C\\D"));
  EXPECT_EQ(FilesIn(base / "C\\D").size(), 0u);
  EXPECT_EQ(CreateFolderChain("C:\\x"), 0);
  EXPECT_EQ(CreateFolderChain(nullptr), 0);

  // The drive's own root: C:\A\B exactly as written.
  const std::string root = "C:\\qxpkg_root_" + std::to_string(GetCurrentProcessId());
  RemoveTree(root);
  EXPECT_EQ(CreateFolderChain((root + "\\A\\B").c_str()), 1);
  EXPECT_TRUE(IsFolder(root + "\\A\\B"));
  EXPECT_EQ(CreateFolderChain((root + "\\A\\B\\").c_str()), 1);
  RemoveTree(root);

  // A file in the way: "already exists" for the file itself, then failure.
  ASSERT_TRUE(WriteAll(base / "file", "x"));
  EXPECT_EQ(CreateFolderChain((base / "file\\sub").c_str()), 0);
  EXPECT_FALSE(IsFolder(base / "file\\sub"));
}

TEST(CreateFolderChain, NetworkPathSkipsServerAndShare) {
  // Wine maps \\server\share to <prefix>/dosdevices/unc/server/share.
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix == nullptr) GTEST_SKIP() << "needs Wine's UNC folder";
  std::string unc = WindowsPathOf(std::string(prefix) + "/dosdevices/unc");
  for (char& c : unc) c = c == '/' ? '\\' : c;
  CreateDirectoryA(unc.c_str(), nullptr);
  const std::string server = unc + "\\qxpkghost";
  const std::string share = server + "\\share";
  RemoveTree(server);
  ASSERT_TRUE(CreateDirectoryA(server.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(share.c_str(), nullptr));
  EXPECT_EQ(CreateFolderChain("\\\\qxpkghost\\share\\A\\B"), 1);
  EXPECT_TRUE(IsFolder(share + "\\A\\B"));
  // Without its share the server is never created as a folder.
  EXPECT_EQ(CreateFolderChain("\\\\qxpkgnone\\share\\A"), 0);
  EXPECT_FALSE(Exists(unc + "\\qxpkgnone"));
  RemoveTree(server);
}

}  // namespace
