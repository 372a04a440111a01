// The install procedure, its worker thread and the status text hand-over.
//
// How it works. StartWorker runs InstallProcedure on a thread of its own, at
// lowered priority and with COM initialised for the shortcut and registration
// calls. The procedure walks its steps in a fixed order, stops at the first
// failure that matters (package, folder, extraction, driver setup, the
// installer's copy, the uninstall entry), and reports only by posting
// WM_COMMAND ID_PROCEDURE_NOTIFY to the window: the steps between
// (registration, settings, shortcuts) never stop it. Nothing is rolled back
// on failure.
//
// The window thread paints `status_text` while the worker changes it, and
// reads `worker_running` to ignore clicks. The text is handed over under a
// critical section (a whole-text copy each side, never held across anything
// else): the worker runs below normal priority, and a window thread that
// spun for the lock could keep a worker pre-empted inside it from ever
// finishing on one CPU, where a waiting thread that sleeps cannot. The flag
// goes through Interlocked calls (full barriers), and the worker stores its
// result before it clears the flag.
//
// Folders: the Start-menu folders hang below folders the user owns, so the
// shortcuts are made only where the folder is a full path, through folders
// held open that are no links (held_folders.h). The product folder below
// Program Files must be the administrators' alone: its folders are opened
// without following a link, made with protected permissions where missing,
// refused unless nobody else may change them (folder_security.h), and held
// open until the install ends.
#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <objbase.h>

#include <cstdio>

#include "setup/package/install_package.h"
#include "setup/paths/install_paths.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/product_names.h"
#include "setup/system/held_folders.h"
#include "setup/system/message_wait.h"
#include "setup/system/registry_values.h"
#include "setup/log/run_log.h"
#include "setup/system/shortcuts.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_removal.h"
#include "setup/system/tree_removal.h"

InstallerFlags g_installer_flags;

// One lock for the one status text, made on first use (the language makes
// that first use safe between threads).
static CRITICAL_SECTION* StatusLock() {
  static CRITICAL_SECTION lock;
  static const bool made = (InitializeCriticalSection(&lock), true);
  (void)made;
  return &lock;
}

void SetStatusText(InstallerContext* context, const char* text) {
  LogRun("step: %s", text);
  EnterCriticalSection(StatusLock());
  std::snprintf(context->status_text, sizeof context->status_text, "%s", text);
  LeaveCriticalSection(StatusLock());
}

void CopyStatusText(const InstallerContext* context, char* out, size_t out_size) {
  if (out_size == 0) return;
  EnterCriticalSection(StatusLock());
  std::snprintf(out, out_size, "%s", context->status_text);
  LeaveCriticalSection(StatusLock());
}

int IsWorkerRunning(const InstallerContext* context) {
  // A compare-exchange that never changes the value: a read with a barrier.
  return static_cast<int>(
      InterlockedCompareExchange(const_cast<LONG*>(&context->worker_running), 0, 0));
}

static void SetWorkerRunning(InstallerContext* context, LONG running) {
  InterlockedExchange(&context->worker_running, running);
}

void PostProcedureNotify(const InstallerContext* context, int code) {
  PostMessageA(context->window, WM_COMMAND, MAKEWPARAM(ID_PROCEDURE_NOTIFY, 0),
               static_cast<LPARAM>(code));
}

int ReportFailure(InstallerContext* context, int result, const char* text) {
  LogRun("failed with %d: %s", result, ResultMeaning(result));
  std::snprintf(context->error_text, sizeof context->error_text, "%s", text);
  PostProcedureNotify(context, NOTIFY_FAILED);
  return result;
}

static const char kPackageCorruptedText[] =
    "Installation package might be corrupted\nthanks to download official package "
    "at\n" PRODUCT_WEB_HOST ".";
static const char kTargetFolderText[] =
    "Failed to create target folder on system disk\nthanks to download official package "
    "at\n" PRODUCT_WEB_HOST ".";
static const char kCopyFailedText[] =
    "Failed to copy file(s) to destination folder...\nInstallation package might be "
    "corrupted\nthanks to download official package at\n" PRODUCT_WEB_HOST ".";
static const char kRestartFirstText[] =
    "Cannot install Brindlemoor Package now...\nYou must RESTART your system and then relaunch "
    "setup program";

// The Start-menu shortcuts (kStartMenuShortcuts) below `programs`; skipped
// silently when `programs` is no full path or a folder on the way is a link
// or can't be made (see held_folders.h: the folders belong to their user).
static void MakeStartMenuShortcuts(const InstallerContext* context, const char* programs) {
  static_assert(kStartMenuShortcutCount <= kMaxShortcuts, "PlaceShortcuts makes them at once");
  if (!IsAbsoluteFolder(programs)) return;
  char targets[kStartMenuShortcutCount][kPathSize];
  ShortcutToMake links[kStartMenuShortcutCount];
  int count = 0;
  for (const ProductShortcut& shortcut : kStartMenuShortcuts) {
    if (JoinPath(targets[count], sizeof targets[count], context->target_folder,
                 shortcut.target_entry)) {
      links[count] = ShortcutToMake{targets[count], shortcut.name};
      ++count;
    }
  }
  FolderWatch folders;
  WatchFolders(programs, kStartMenuSubFolder, &folders);
  PlaceShortcuts(programs, kStartMenuSubFolder, links, count);
  LogFolderChanges(&folders);
  for (int i = 0; i < count && folders.count > 0; ++i) {
    char path[kPathSize];
    if (ShortcutPath(path, sizeof path, folders.paths[folders.count - 1], links[i].name) &&
        GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
      LogRun("made shortcut %s -> %s", path, links[i].target);
    }
  }
}

static const char kUninstallEntryText[] =
    "Failed to write the uninstall entry...\nBrindlemoor is installed, but Windows does not "
    "list it\nrun setup again to remove it.";

// The kilobytes the install put in the product folder, as the installed
// programs list shows them: the package's files and the uninstaller, each
// rounded up to whole kilobytes as a file system stores them.
static DWORD InstalledKilobytes(const InstallerContext* context, const char* uninstaller) {
  uint64_t kilobytes = 0;
  for (const PackageEntry& entry : context->package_directory) {
    if (IsSafeEntryName(entry.name)) kilobytes += (static_cast<uint64_t>(entry.size) + 1023) / 1024;
  }
  WIN32_FILE_ATTRIBUTE_DATA copy = {};
  if (GetFileAttributesExA(uninstaller, GetFileExInfoStandard, &copy)) {
    const uint64_t bytes = (static_cast<uint64_t>(copy.nFileSizeHigh) << 32) | copy.nFileSizeLow;
    kilobytes += (bytes + 1023) / 1024;
  }
  return kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(kilobytes);
}

// The uninstall entry `key`: the values Windows and deployment tools read.
// 1 when every one was written.
static int WriteUninstallEntry(const char* key, const char* command, const char* quiet_command,
                               const char* icon, const char* location, DWORD kilobytes) {
  return WriteMachineString(key, "DisplayName", kDisplayName) &&
         WriteMachineString(key, "Publisher", kPublisher) &&
         WriteMachineString(key, "UninstallString", command) &&
         WriteMachineString(key, "DisplayVersion", INSTALLER_VERSION_TEXT) &&
         WriteMachineString(key, "DisplayIcon", icon) &&
         WriteMachineString(key, "InstallLocation", location) &&
         WriteMachineDword(key, "EstimatedSize", kilobytes) &&
         WriteMachineDword(key, "NoModify", 1) && WriteMachineDword(key, "NoRepair", 1) &&
         WriteMachineString(key, "QuietUninstallString", quiet_command) &&
         WriteMachineString(key, "URLInfoAbout", PRODUCT_WEB_ADDRESS);
}

// Installs into the product folder, which the caller holds: the package's
// files, the driver, the registrations and settings, the shortcuts, the
// uninstaller and its entry. 0 or the install's failure.
static int InstallIntoProductFolder(InstallerContext* context) {
  if (ExtractPackage(context->instance, context->target_folder, context->package_directory,
                     nullptr) != 0) {
    return ReportFailure(context, kResultFilesNotWritten, kCopyFailedText);
  }

  SetStatusText(context, "Install Audio Driver");
  int setup_exit = -1;
  const int started = RunDriverSetup(context, "-h -i -H -n", &setup_exit);
  if (started != 0) return started;
  if (setup_exit == 1) return ReportFailure(context, kResultRestartFirst, kRestartFirstText);

  RegisterAsioDrivers(context, 1);
  for (const char* value : kMixerFirstRunValues) WriteUserDword(kMixerSettingsKey, value, 0);

  SetStatusText(context, "Finalize Installation");
  char programs[kPathSize];
  if (ReadUserString(kShellFoldersKey, "Programs", programs, sizeof programs) &&
      IsInUserProfile(programs)) {
    MakeStartMenuShortcuts(context, programs);
  }
  if (g_shell_folders.common_programs[0] != '\0') {
    MakeStartMenuShortcuts(context, g_shell_folders.common_programs);
  }

  // The uninstaller: the installer's own file, copied from the handle taken
  // at its start (the download's path may name another file by now), under
  // a name of its own (a download called "brindlemoor.exe" would replace
  // the mixer).
  char copy[kPathSize];
  if (!JoinPath(copy, sizeof copy, context->target_folder, kUninstallerProgram) ||
      !CopyOpenFile(SystemNtFileCalls(), context->installer_image, copy)) {
    return ReportFailure(context, kResultFilesNotWritten, kCopyFailedText);
  }
  LogRun("made %s, the uninstaller (a copy of this installer's own file)", copy);

  // The commands in quotes: unquoted, Windows would split a path with blanks
  // ("C:\Program Files\...") and try "C:\Program.exe" first.
  char command[kPathSize + 2];
  char quiet_command[kPathSize + 16];
  char icon[kPathSize];
  std::snprintf(command, sizeof command, "\"%s\"", copy);
  std::snprintf(quiet_command, sizeof quiet_command, "\"%s\" -h -u", copy);
  char key[kPathSize];
  if (!JoinPath(key, sizeof key, kUninstallListKey, kUninstallEntryName) ||
      !JoinPath(icon, sizeof icon, context->target_folder, kMixerProgram) ||
      !WriteUninstallEntry(key, command, quiet_command, icon, context->target_folder,
                           InstalledKilobytes(context, copy))) {
    return ReportFailure(context, kResultUninstallEntryNotWritten, kUninstallEntryText);
  }

  SetStatusText(context, "Installation Completed");
  PostProcedureNotify(context, NOTIFY_INSTALLED);
  return kResultSucceeded;
}

int InstallProcedure(InstallerContext* context) {
  std::snprintf(context->error_caption, sizeof context->error_caption,
                "Brindlemoor Installation Error");
  SetStatusText(context, "Extract Package");
  if (CheckPackage(context->instance, context->package_directory) != 0) {
    return ReportFailure(context, kResultPackageDamaged, kPackageCorruptedText);
  }
  // Without its own file the installer can't leave an uninstaller: found
  // before anything is written.
  if (context->installer_image == nullptr)
    return ReportFailure(context, kResultFilesNotWritten, kCopyFailedText);

  SetStatusText(context, "Copy Files");
  if (ResolveProgramFilesTarget(context, kProductSubFolder) != 0) {
    return ReportFailure(context, kResultNoProgramFiles, kTargetFolderText);
  }
  // A product folder reached through a link, or one that anyone but the
  // administrators may change, is not ours to fill; it stays held, so that
  // nobody can rename it or a folder above it while the install works.
  HeldFolder product;
  if (HoldProductFolder(context, 1, &product) != kFolderHeld) {
    return ReportFailure(context, kResultProductFolderRefused, kTargetFolderText);
  }
  const int result = InstallIntoProductFolder(context);
  const HeldFolderOps ops = SystemHeldFolderOps();
  ReleaseHeldFolder(&product, &ops);
  return result;
}

static DWORD WINAPI WorkerThread(LPVOID parameter) {
  InstallerContext* context = static_cast<InstallerContext*>(parameter);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  const HRESULT com = CoInitialize(nullptr);
  context->worker_result = InstallProcedure(context);
  if (com == S_OK) CoUninitialize();
  SetWorkerRunning(context, 0);
  return 0;
}

int StartWorker(InstallerContext* context, int wait) {
  // The handle of an earlier worker (a retry after -604 or -605), long ended.
  if (context->worker_thread != nullptr) {
    CloseHandle(context->worker_thread);
    context->worker_thread = nullptr;
  }
  context->worker_result = -1;
  SetWorkerRunning(context, 1);
  HANDLE thread = CreateThread(nullptr, 0, WorkerThread, context, 0, &context->worker_thread_id);
  if (thread == nullptr) {
    SetWorkerRunning(context, 0);  // nothing runs: the window must not wait for it
    return -1;
  }
  context->worker_thread = thread;
  if (!wait) return 0;
  WaitHandlingMessages(thread, INFINITE);
  CloseHandle(thread);
  context->worker_thread = nullptr;
  return context->worker_result;
}
