// The install and uninstall procedures and the operations they share.
//
// InstallProcedure unpacks the package into "<Program Files>\QX\Brindlemoor",
// runs the driver setup program there, registers the ASIO driver libraries,
// resets the mixer's first-run values, makes the Start-menu shortcuts, copies
// the installer next to the product and writes the uninstall entry. It runs
// on a worker thread (StartWorker) and reports to the window only by posting
// WM_COMMAND ID_PROCEDURE_NOTIFY. UninstallProcedure undoes all of it on the
// calling (window) thread.
//
// Threads: the worker writes `status_text` and `worker_running`; the window
// thread reads them only through CopyStatusText and IsWorkerRunning, which
// hand them over whole. Everything else runs on the thread that calls it.
#pragma once

#include <windows.h>

#include <cstddef>

#include "setup/command_line.h"
#include "setup/held_folders.h"
#include "setup/installer_context.h"
#include "setup/product_info.h"

// Window messages between the procedures and the window: WM_COMMAND with the
// identifier in the low word of wParam and the code as lParam.
constexpr int ID_PROCEDURE_NOTIFY = 180;
constexpr int NOTIFY_FAILED = 127;     // error_text and error_caption are set
constexpr int NOTIFY_INSTALLED = 128;  // the install procedure succeeded

// Fixed names of the product on the system.
constexpr char kProductSubFolder[] = "QX\\Brindlemoor";  // below Program Files
constexpr char kStartMenuSubFolder[] = "Tarnwell Audio\\Brindlemoor";
constexpr char kMixerSettingsKey[] = "Tarnwell\\BrindleMoor";  // HKEY_CURRENT_USER
constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kUninstallEntryName[] = "QX:Brindlemoor {17359A74-1236-5467}";

// The command line's switches, process-wide: all 0 until the start-up sets
// them from its scan (before the window exists). With `silent` neither the
// window nor the uninstall procedure shows a message box.
extern InstallerFlags g_installer_flags;

// Stores `text` as error_text, posts NOTIFY_FAILED to the window and returns
// `result`: how both procedures report a failure the user must see.
int ReportFailure(InstallerContext* context, int result, const char* text);

// Posts WM_COMMAND ID_PROCEDURE_NOTIFY with `code` to context->window.
void PostProcedureNotify(const InstallerContext* context, int code);

// Restricts where this process loads DLLs from to the system folder, where
// the system offers that (SetDefaultDllDirectories), and takes the current
// folder out of the search otherwise. Call first thing at start-up: an
// elevated installer started from a download folder must not load a DLL
// that someone placed next to it.
void RestrictDllSearch();

// LoadLibraryA of the system folder's `name` by its full path: null when it
// is not there. The caller frees it.
HMODULE LoadSystemLibrary(const char* name);

// Loads, by their full paths in the system folder, the libraries that the
// system's own libraries would load by name on the installer's ways, and
// keeps them loaded. RestrictDllSearch does this where the system can't
// restrict the search; start-up only.
void PreloadSystemLibraries();

// Where links lie below a known folder, on the real file system: `folder` is
// JoinPath(known folder, sub_path); see FindLinkBelow (tree_removal.h).
int FolderLinks(const char* folder, const char* sub_path);

// The shell folders resolved once at start-up by ResolveShellFolders: the
// all-users Programs folder (empty when unknown) and the current user's
// Startup folder ("Startup" until resolved).
struct ShellFolders {
  int resolved;  // 1 once ResolveShellFolders has run
  char common_programs[512];
  char startup[512];
};
extern ShellFolders g_shell_folders;

// Starts the worker thread that runs InstallProcedure. With wait = 1 blocks
// until it ends and returns its result; with wait = 0 returns 0 at once (the
// thread handle stays in the context). -1 when the thread can't be created.
int StartWorker(InstallerContext* context, int wait);

// The install, on the worker thread: 0, -1, -2, -3, -10, -21, -604 or -605.
// Posts NOTIFY_FAILED (with error_text set) or NOTIFY_INSTALLED to
// context->window, except for -604 and -605, which post nothing.
int InstallProcedure(InstallerContext* context);

// The uninstall, on the window thread: 0, -1, -2, -604 or -605. Posts
// NOTIFY_FAILED for every failure (nothing has been removed then); shows the
// restart message at 0 unless silent.
int UninstallProcedure(InstallerContext* context);

// target_folder := JoinPath(<Program Files>, sub_path); 0, or -1 with
// target_folder empty when neither the folder nor its fallback fits.
int ResolveProgramFilesTarget(InstallerContext* context, const char* sub_path);

// Fills g_shell_folders; does its work on the first call only. Start-up thread.
void ResolveShellFolders();

// Registers (do_register = 1) or unregisters (0) the 32-bit ASIO library in
// process and, on 64-bit Windows, the 64-bit one through "qxregsvr64.exe",
// started in the product folder.
// Returns the registration program's exit code, or -1 when it was not run
// or gave none. Needs COM initialised on the calling thread.
int RegisterAsioDrivers(InstallerContext* context, int do_register);

// Starts JoinPath(target_folder, the driver setup program for this Windows)
// with `command_line` in target_folder, waits for it without a time limit
// and stores its exit code (-1 if none can be read). 0, -605 when it can't be
// started, -604 when no process handle came back.
int RunDriverSetup(InstallerContext* context, const char* command_line, int* exit_code);

// Makes the shell link JoinPath(folder, name) + ".LNK" to `target` as a new
// file (replacing one of that name) in the full path `folder`, which must be
// a plain folder, no link: S_OK, or the failure. Needs COM initialised on the
// calling thread.
HRESULT CreateShortcut(const char* target, const char* folder, const char* name);

// A shell link to make: its target, and its name (the description, and the
// file name without ".LNK").
struct ShortcutSpec {
  const char* target;
  const char* name;
};
constexpr int kMaxShortcuts = 4;

// Makes `links` (at most kMaxShortcuts) in JoinPath(known, sub_path), making
// the folders of `sub_path` below the full path `known` that are missing,
// through open folders (PlaceHeldFiles): how many were made, or -1 when the
// folder could not be reached (a link or a file on the way). Needs COM.
int PlaceShortcuts(const char* known, const char* sub_path, const ShortcutSpec* links, int count);

// The operations of held_folders.h on the file system.
HeldFolderOps SystemHeldFolderOps();

// Registry writers and reader: 1 on success, 0 on failure. The writers
// create the key when it does not exist. ReadUserString copies the REG_SZ
// value into `buffer` (`buffer_size` bytes) and fails, leaving it empty, when
// the value does not fit (at most 4,050 bytes are ever copied).
int WriteMachineString(const char* sub_key, const char* name, const char* text);
int WriteUserDword(const char* sub_key, const char* name, DWORD value);
int ReadUserString(const char* sub_key, const char* name, char* buffer, size_t buffer_size);

// Deletes every file and sub-folder of `folder`, then the folder; always 1.
// What can't be deleted stays and is skipped, so the walk always ends.
int RemoveFolderTree(const char* folder);

// Deletes parent\sub_key with all its sub-keys: 1, or 0 when the key could
// not be opened or something under it stayed. Sub-keys that can't be
// deleted are skipped, so the walk always ends.
int DeleteKeyTree(HKEY parent, const char* sub_key);

// The status text hand-over between the worker and the window thread: the
// worker sets whole texts, the window copies a whole text out (never half of
// one being written). `out` gets at most out_size - 1 characters.
void SetStatusText(InstallerContext* context, const char* text);
void CopyStatusText(const InstallerContext* context, char* out, size_t out_size);

// 1 while the worker runs (from StartWorker until the procedure has ended).
int IsWorkerRunning(const InstallerContext* context);
