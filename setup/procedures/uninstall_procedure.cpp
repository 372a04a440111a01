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
// text may never have been resolved. So a folder that is no full path is
// left alone, and below the others only what the install made goes: the
// three shortcuts by name, then the Start-menu folder itself when that left
// it empty, all through folders held open that are no links
// (held_folders.h), never by a path that could be made to lead elsewhere in
// the meantime. What the user put there stays, and so does the folder.
// The product folder below Program Files is the administrators' alone; when
// it is a link or is reached through one, nothing is written, run or deleted
// there (the driver setup program counts as not started, -605).
//
// When the driver setup program can't be run (-604, -605) nothing has been
// removed, and the user is told so: the window shows the failure.
#include <windows.h>

#include <cstdio>

#include "setup/package/install_package.h"
#include "setup/paths/install_paths.h"
#include "setup/procedures/install_procedures.h"
#include "setup/system/held_folders.h"
#include "setup/system/registry_values.h"
#include "setup/system/shortcuts.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_removal.h"
#include "setup/procedures/product_names.h"
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
  const HeldFolderOps ops = SystemHeldFolderOps();
  RemoveHeldFiles(known, sub_path, names, named, remove_folder, &ops);
}

int UninstallProcedure(InstallerContext* context) {
  std::snprintf(context->error_caption, sizeof context->error_caption,
                "Brindlemoor Uninstallation Error");
  if (CheckPackage(context->instance, context->package_directory) != 0) {
    return ReportFailure(context, -1, kPackageCorruptedText);
  }
  if (ResolveProgramFilesTarget(context, kProductSubFolder) != 0) {
    return ReportFailure(context, -2, kTargetFolderText);
  }
  if (FolderLinks(context->target_folder, kProductSubFolder) != kNoLink) {
    return ReportFailure(context, kDriverSetupNotStarted, kNotRemovedText);
  }
  ExtractPackage(context->instance, context->target_folder, context->package_directory,
                 context->on_64bit_windows ? kDriverSetupProgram64 : kDriverSetupProgram);
  int setup_exit = -1;
  const int started = RunDriverSetup(context, "-h -u -H", &setup_exit);
  if (started != 0) return ReportFailure(context, started, kNotRemovedText);

  RegisterAsioDrivers(context, 0);
  for (const PackageEntry& entry : context->package_directory) {
    char path[kPathSize];
    if (IsSafeEntryName(entry.name) &&
        JoinPath(path, sizeof path, context->target_folder, entry.name)) {
      DeleteFileA(path);
    }
  }

  char programs[kPathSize];
  if (ReadUserString(kShellFoldersKey, "Programs", programs, sizeof programs)) {
    RemoveShortcuts(programs, kStartMenuSubFolder, kStartMenuShortcuts, kStartMenuShortcutCount, 1);
  }
  if (g_shell_folders.common_programs[0] != '\0') {
    RemoveShortcuts(g_shell_folders.common_programs, kStartMenuSubFolder, kStartMenuShortcuts,
                    kStartMenuShortcutCount, 1);
  }
  RemoveShortcuts(g_shell_folders.startup, "", &kStartupShortcut, 1, 0);
  WriteUserDword(kMixerSettingsKey, "SysTray", 0);
  WriteUserDword(kMixerSettingsKey, "SysTrayShowOnRun", 0);

  char key[kPathSize];
  if (JoinPath(key, sizeof key, kUninstallListKey, kUninstallEntryName)) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
  }
  if (ResolveProgramFilesTarget(context, kProductSubFolder) == 0 &&
      FolderLinks(context->target_folder, kProductSubFolder) != kLinkOnTheWay) {
    RemoveFolderTree(context->target_folder);
    context->target_folder[0] = '\0';
  }

  if (!g_installer_flags.silent) {
    MessageBoxA(context->window, setup_exit == 1 ? kRestartShortText : kRestartLongText,
                "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
  }
  return 0;
}
