// The uninstall procedure, on the window thread.
//
// How it works. After the package check and the product folder, it extracts
// only this Windows' driver setup program again and runs it with "-h -u -H";
// from there on nothing reports a failure: the ASIO libraries are
// unregistered, the package's files deleted, the Start-menu shortcuts and
// folders (current user, all users) and the mixer's Startup shortcut
// removed, its tray start-up turned off, the uninstall entry deleted and the
// product folder removed with whatever is left in it. What can't be removed
// stays, without a message.
//
// Only names that the extraction would write are deleted: a directory entry
// whose name is absolute, has a drive or a ".." component, names a device or
// lacks its NUL is stepped over, so no package can make the uninstall delete
// files outside the product folder.
//
// It runs as administrator, yet the Start-menu folders and the Startup
// folder hang below folders that their user owns, and the Startup folder
// text may never have been resolved. So a folder that is no full path, or a
// per-user folder outside the user's profile folder (the user's settings
// name it), is left alone, and below the others only what the install made
// goes: the
// three shortcuts by name, then the Start-menu folder itself when that left
// it empty, all through folders held open that are no links
// (held_folders.h), never by a path that could be made to lead elsewhere in
// the meantime. What the user put there stays, and so does the folder.
// The product folder below Program Files must be the administrators' alone,
// as the install made it: when it is missing, a link or reached through one,
// or anyone else may change it, nothing is written, run or deleted there
// (the driver setup program counts as not started, -605). It is held open
// from the check to the end, and removed last by a walk through held
// folders (held_folders.h). The driver setup program that runs is the one
// just extracted: one that could not be written fails the same way, and no
// older copy left in the folder is started.
//
// When the driver setup program can't be run (-604, -605) nothing has been
// removed, and the user is told so: the window shows the failure.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "setup/log/run_log.h"
#include "setup/package/install_package.h"
#include "setup/package/md5.h"
#include "setup/paths/install_paths.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/outcome_box.h"
#include "setup/procedures/product_names.h"
#include "setup/system/held_folders.h"
#include "setup/system/registry_values.h"
#include "setup/system/shortcuts.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_removal.h"
#include "setup/system/tree_removal.h"

static const char kPackageCorruptedText[] =
    "De-Installation package might be corrupted\nthanks to download official package "
    "at\n" PRODUCT_WEB_HOST ".";
static const char kTargetFolderText[] =
    "Failed to get target folder on system disk\nthanks to remove brindlemoor manually...";
static const char kRestartShortText[] = "Restart System to finish de-installation!";
static const char kRestartLongText[] =
    "Brindlemoor is removed from the system\nBut you must Restart your computer before "
    "installing new version !";

static const char kNotRemovedText[] =
    "Failed to launch the driver setup program...\nBrindlemoor has not been removed from your "
    "system";

// Deletes the files of `shortcuts` in JoinPath(known, sub_path) and, with
// `remove_folder`, that folder when it is then empty; nothing when `known` is
// no full path.
static void RemoveShortcuts(const char* known, const char* sub_path,
                            const ProductShortcut* shortcuts, int count, int remove_folder) {
  if (!IsAbsoluteFolder(known) || count > kStartMenuShortcutCount) return;
  char file_names[kStartMenuShortcutCount][kPathSize];
  const char* names[kStartMenuShortcutCount];
  int named = 0;
  for (int i = 0; i < count; ++i) {
    if (ShortcutFileName(file_names[named], sizeof file_names[named], shortcuts[i].name)) {
      names[named] = file_names[named];
      ++named;
    }
  }
  // For the log: what was there before.
  FolderWatch folders;
  WatchFolders(known, sub_path, &folders);
  char last[kPathSize];
  std::snprintf(last, sizeof last, "%s",
                folders.count > 0 ? folders.paths[folders.count - 1] : known);
  bool existed[kStartMenuShortcutCount] = {};
  char paths[kStartMenuShortcutCount][kPathSize];
  for (int i = 0; i < named; ++i) {
    existed[i] = IsRunLogOpen() && JoinPath(paths[i], sizeof paths[i], last, names[i]) &&
                 GetFileAttributesA(paths[i]) != INVALID_FILE_ATTRIBUTES;
  }
  const HeldFolderOps ops = SystemHeldFolderOps();
  RemoveHeldFiles(known, sub_path, names, named, remove_folder, &ops);
  for (int i = 0; i < named; ++i) {
    if (existed[i] && GetFileAttributesA(paths[i]) == INVALID_FILE_ATTRIBUTES) {
      LogRun("removed shortcut %s", paths[i]);
    }
  }
  LogFolderChanges(&folders);
}

// 1 when the file `name` in the product folder holds what the package's
// entry of that name holds (its digest): the program the uninstall starts
// is the one it has just extracted, never an older one left in its place.
static int HoldsPackagedFile(const InstallerContext* context, const char* name) {
  const PackageEntry* packaged = nullptr;
  for (const PackageEntry& entry : context->package_directory) {
    if (std::strcmp(entry.name, name) == 0) packaged = &entry;
  }
  char path[kPathSize];
  if (packaged == nullptr || !JoinPath(path, sizeof path, context->target_folder, name)) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  Md5Context md5;
  Md5Init(&md5);
  char chunk[1 << 15];
  uint64_t total = 0;
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0) {
    Md5Update(&md5, chunk, got);
    total += got;
  }
  CloseHandle(file);
  uint8_t digest[16];
  Md5Final(&md5, digest);
  return ok && total == packaged->size && std::memcmp(digest, packaged->digest, sizeof digest) == 0;
}

static void LogRemoved(const char* path) { LogRun("removed %s", path); }

// An uninstall started from the installer's copy in the product folder
// can't delete that copy while it runs, and the folder stays with it: both
// go at the next restart, which the uninstall asks for anyway.
static void RemoveRunningCopyAtRestart(const InstallerContext* context) {
  char copy[kPathSize];
  if (!JoinPath(copy, sizeof copy, context->target_folder, kUninstallerProgram) ||
      lstrcmpiA(copy, context->installer_path) != 0 ||
      GetFileAttributesA(copy) == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if (!MoveFileExA(copy, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return;
  LogRun("%s is deleted at the next restart", copy);
  // A folder is removed at the restart only when it is empty by then: the
  // product folder, then the company folder above it if nothing else is in it.
  char folder[kPathSize];
  std::snprintf(folder, sizeof folder, "%s", context->target_folder);
  for (int level = 0; level < 2; ++level) {
    if (!MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return;
    LogRun("%s is removed at the next restart if it is empty", folder);
    char* last_separator = std::strrchr(folder, '\\');
    if (last_separator == nullptr) return;
    *last_separator = '\0';
  }
}

// Uninstalls from the product folder, which the caller holds (`product`):
// the driver first, then everything else; the folder itself last.
static int UninstallFromProductFolder(InstallerContext* context, HeldFolder* product) {
  const char* setup_program =
      context->on_64bit_windows ? kDriverSetupProgram64 : kDriverSetupProgram;
  ExtractPackage(context->instance, context->target_folder, context->package_directory,
                 setup_program);
  if (!HoldsPackagedFile(context, setup_program)) {
    return ReportFailure(context, kDriverSetupNotStarted, kNotRemovedText);
  }
  int setup_exit = -1;
  const int started = RunDriverSetup(context, "-h -u -H", &setup_exit);
  if (started != 0) return ReportFailure(context, started, kNotRemovedText);

  RegisterAsioDrivers(context, 0);
  for (const PackageEntry& entry : context->package_directory) {
    char path[kPathSize];
    if (IsSafeEntryName(entry.name) &&
        JoinPath(path, sizeof path, context->target_folder, entry.name) && DeleteFileA(path)) {
      LogRun("removed %s", path);
    }
  }

  char programs[kPathSize];
  if (ReadUserString(kShellFoldersKey, "Programs", programs, sizeof programs) &&
      IsInUserProfile(programs)) {
    RemoveShortcuts(programs, kStartMenuSubFolder, kStartMenuShortcuts, kStartMenuShortcutCount, 1);
  }
  if (g_shell_folders.common_programs[0] != '\0') {
    RemoveShortcuts(g_shell_folders.common_programs, kStartMenuSubFolder, kStartMenuShortcuts,
                    kStartMenuShortcutCount, 1);
  }
  if (IsInUserProfile(g_shell_folders.startup)) {
    RemoveShortcuts(g_shell_folders.startup, "", &kStartupShortcut, 1, 0);
  }
  for (const char* value : kMixerTrayValues) WriteUserDword(kMixerSettingsKey, value, 0);

  char key[kPathSize];
  if (JoinPath(key, sizeof key, kUninstallListKey, kUninstallEntryName) &&
      DeleteKeyTree(HKEY_LOCAL_MACHINE, key)) {
    LogRun("registry: deleted HKLM\\%s with its values", key);
  }
  const HeldFolderOps ops = SystemHeldFolderOps();
  if (RemoveHeldFolderTree(product, &ops, context->target_folder, LogRemoved)) {
    LogRun("removed folder %s", context->target_folder);
    RemoveEmptiedProductFolders(context, product);
  } else {
    RemoveRunningCopyAtRestart(context);
  }
  context->target_folder[0] = '\0';

  if (!g_installer_flags.silent) {
    ShowOutcomeBox(context->window, setup_exit == 1 ? kRestartShortText : kRestartLongText,
                   "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
  }
  return kResultSucceeded;
}

int UninstallProcedure(InstallerContext* context) {
  std::snprintf(context->error_caption, sizeof context->error_caption,
                "Brindlemoor Uninstallation Error");
  if (CheckPackage(context->instance, context->package_directory) != 0) {
    return ReportFailure(context, kResultPackageDamaged, kPackageCorruptedText);
  }
  if (ResolveProgramFilesTarget(context, kProductSubFolder) != 0) {
    return ReportFailure(context, kResultNoProgramFiles, kTargetFolderText);
  }
  HeldFolder product;
  if (HoldProductFolder(context, 0, &product) != kFolderHeld) {
    return ReportFailure(context, kDriverSetupNotStarted, kNotRemovedText);
  }
  const int result = UninstallFromProductFolder(context, &product);
  const HeldFolderOps ops = SystemHeldFolderOps();
  ReleaseHeldFolder(&product, &ops);
  return result;
}
