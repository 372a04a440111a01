// What the procedure tests under Wine share: the stand-in package in a
// resource module, a context like the installer's, the outcome messages, the
// stand-in log, file, registry and shell-link reading, and snapshots of the
// prefix's drive C: and registry.
//
// The package module is loaded anew for every procedure run: extraction
// deciphers the module's image in place, and a fresh load maps a fresh,
// enciphered image, as a fresh start of the installer has.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "setup/paths/install_paths.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/product_names.h"
#include "setup/system/held_folders.h"
#include "setup/system/registry_values.h"
#include "setup/system/running_image.h"
#include "setup/system/shortcuts.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_removal.h"
#include "tests/setup/test_files.h"
#include "tests/wine/wine_files.h"

// The program's own folder and path.
std::string ProgramFolder();
std::string ProgramPath();

bool Exists(const std::string& path);
std::string Md5Hex(const Bytes& bytes);
std::string Md5Hex(const uint8_t digest[16]);
std::string Lower(std::string text);

// The stand-in package in a freshly loaded resource module.
struct PackageModule {
  HMODULE handle;
  PackageModule();
  ~PackageModule();
  PackageModule(const PackageModule&) = delete;
  PackageModule& operator=(const PackageModule&) = delete;
  // Flips one byte of entry `index`'s stored data in the loaded image.
  bool DamageEntry(int index);
  // Writes `name` (with its NUL) into entry `index`'s name field.
  bool RenameEntry(int index, const char* name);
};

// A zeroed context as the installer's start-up makes it: the module, this
// program as the installer, the window that receives the outcome messages.
std::unique_ptr<InstallerContext> NewContext(HMODULE module, int on_64bit_windows);

// A message-only window that records the procedures' WM_COMMAND posts.
struct NotifyWindow {
  HWND handle;
  NotifyWindow();
  ~NotifyWindow();
  // Pumps this thread's queue; returns the codes (lParam) of the
  // ID_PROCEDURE_NOTIFY commands received since the last call.
  std::vector<int> Codes();
};

// The stand-in log: the stand-ins' test hook QX_STANDIN_LOG points to a file
// in this program's folder (outside the prefix's drive C:), emptied by Reset.
struct StandInLog {
  std::string path;
  StandInLog();
  ~StandInLog();
  void Reset();
  // Each line as {program, command line, working folder}.
  std::vector<std::vector<std::string>> Lines() const;
};

// The driver setup program's chosen exit code (its test hook), or none.
void ChooseSetupExit(const char* code);

// 1 when a present device interface of the mixer driver's class exists.
int DriverInterfacePresent();

// The stand-in driver setup program's root devices (hardware id
// ROOT\QX_KXBMVD) in the registry, present or not.
int StandInDeviceCount();

// Registry reading: the default (name null) or named value as text, and
// whether a key exists; in the registry view `view` (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY), or this program's own with 0.
bool ReadString(HKEY root, const std::string& key, const char* name, std::string* value,
                REGSAM view = 0);
bool ReadDword(HKEY root, const std::string& key, const char* name, DWORD* value);
bool KeyExists(HKEY root, const std::string& key, REGSAM view = 0);

// What the installer of this build meets on the tests' 64-bit Wine: the
// 32-bit build runs under WOW64 (its folder is "Program Files (x86)", its
// own keys and in-process COM registrations land in the 32-bit registry
// view); the 64-bit build is at home in the 64-bit view.
constexpr bool kThirtyTwoBitBuild = sizeof(void*) == 4;
constexpr REGSAM kOwnView = kThirtyTwoBitBuild ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr const char* kExpectedProgramFiles =
    kThirtyTwoBitBuild ? "C:\\Program Files (x86)" : "C:\\Program Files";

// 1 when this process runs on 64-bit Windows, found as the installer finds
// it (IsWow64Process in the 32-bit build).
int RunsOn64BitWindows();

// A shell link read back through IShellLinkA: its target, working folder and
// description. False when it can't be loaded.
struct LinkInfo {
  std::string target;
  std::string working_folder;
  std::string description;
};
bool ReadShortcut(const std::string& link_path, LinkInfo* info);

// Runs a program of the prefix with its output in a file; the output's text.
std::string RunAndCapture(const std::string& command_line);

// The product's places in this prefix.
std::string ProductFolder();          // <Program Files>\QX\Brindlemoor
std::string UserStartMenuFolder();    // <Programs>\Tarnwell Audio\Brindlemoor, current user
std::string CommonStartMenuFolder();  // the same for all users
std::string UninstallKey();           // below HKEY_LOCAL_MACHINE

// Everything under drive C: (folders end with '\') and every key and value
// of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER ("HKLM\...\key" for a key,
// "HKLM\...\key\\name = type:hex" for a value).
struct Snapshot {
  std::set<std::string> files;
  std::set<std::string> registry;
};
Snapshot TakeSnapshot();

// What `after` has that `before` lacks, and the other way round.
std::vector<std::string> Added(const std::set<std::string>& before,
                               const std::set<std::string>& after);
