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
// whose name is absolute, has a drive or a ".." component, or lacks its NUL
// is stepped over, so no package can make the uninstall delete files outside
// the product folder.
#include <windows.h>

#include <cstdio>

#include "setup/install_package.h"
#include "setup/install_procedures.h"

static const char kPackageCorruptedText[] =
    "De-Installation package might be corrupted\nthanks to download official package "
    "at\n" PRODUCT_WEB_HOST ".";
static const char kTargetFolderText[] =
    "Failed to get target folder on system disk\nthanks to remove brindlemoor manually...";
static const char kRestartShortText[] = "Restart System to finish de-installation!";
static const char kRestartLongText[] =
    "Brindlemoor is removed from the system\nBut you must Restart your computer before "
    "installing new version !";

static int Fail(InstallerContext* context, int result, const char* text) {
  std::snprintf(context->error_text, sizeof context->error_text, "%s", text);
  PostMessageA(context->window, WM_COMMAND, MAKEWPARAM(ID_PROCEDURE_NOTIFY, 0), NOTIFY_FAILED);
  return result;
}

// Deletes JoinPath(folder, name) + ".LNK"; the result is not looked at.
static void DeleteShortcut(const char* folder, const char* name) {
  char joined[kPathSize];
  char link_path[kPathSize];
  if (!JoinPath(joined, sizeof joined, folder, name)) return;
  const int n = std::snprintf(link_path, sizeof link_path, "%s.LNK", joined);
  if (n < 0 || static_cast<size_t>(n) >= sizeof link_path) return;
  DeleteFileA(link_path);
}

static void RemoveStartMenuFolder(const char* programs) {
  char folder[kPathSize];
  if (!JoinPath(folder, sizeof folder, programs, kStartMenuSubFolder)) return;
  DeleteShortcut(folder, "Brindlemoor");
  DeleteShortcut(folder, "Virtual IO Control Panel");
  DeleteShortcut(folder, "Readme");
  RemoveFolderTree(folder);
}

int UninstallProcedure(InstallerContext* context) {
  std::snprintf(context->error_caption, sizeof context->error_caption,
                "Brindlemoor Uninstallation Error");
  if (CheckPackage(context) != 0) return Fail(context, -1, kPackageCorruptedText);
  if (ResolveProgramFilesTarget(context, kProductSubFolder) != 0) {
    return Fail(context, -2, kTargetFolderText);
  }
  ExtractPackage(context,
                 context->on_64bit_windows ? "QUILLAN_Setup_x64.exe" : "QUILLAN_Setup.exe");
  int setup_exit = -1;
  const int started = RunDriverSetup(context, "-h -u -H", &setup_exit);
  if (started != 0) return started;

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
    RemoveStartMenuFolder(programs);
  }
  if (g_shell_folders.common_programs[0] != '\0') {
    RemoveStartMenuFolder(g_shell_folders.common_programs);
  }
  DeleteShortcut(g_shell_folders.startup, "Brindlemoor (Tarnwell)");
  WriteUserDword(kMixerSettingsKey, "SysTray", 0);
  WriteUserDword(kMixerSettingsKey, "SysTrayShowOnRun", 0);

  char key[kPathSize];
  if (JoinPath(key, sizeof key, kUninstallListKey, kUninstallEntryName)) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
  }
  if (ResolveProgramFilesTarget(context, kProductSubFolder) == 0) {
    RemoveFolderTree(context->target_folder);
    context->target_folder[0] = '\0';
  }

  if (!g_installer_silent) {
    MessageBoxA(context->window, setup_exit == 1 ? kRestartShortText : kRestartLongText,
                "REBOOT YOUR SYSTEM", MB_SYSTEMMODAL | MB_ICONWARNING);
  }
  return 0;
}
