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

#include "setup/procedures/install_results.h"
#include "setup/procedures/installer_context.h"
#include "setup/procedures/installer_flags.h"
#include "setup/procedures/product_info.h"
#include "setup/procedures/product_names.h"
#include "setup/system/held_folders.h"

// Window messages between the procedures and the window: WM_COMMAND with the
// identifier in the low word of wParam and the code as lParam.
constexpr int ID_PROCEDURE_NOTIFY = 180;
constexpr int NOTIFY_FAILED = 127;     // error_text and error_caption are set
constexpr int NOTIFY_INSTALLED = 128;  // the install procedure succeeded

// The command line's switches, process-wide: all 0 until the start-up sets
// them from its scan (before the window exists). With `silent` neither the
// window nor the uninstall procedure shows a message box.
extern InstallerFlags g_installer_flags;

// Stores `text` as error_text, posts NOTIFY_FAILED to the window and returns
// `result`: how both procedures report a failure the user must see.
int ReportFailure(InstallerContext* context, int result, const char* text);

// Posts WM_COMMAND ID_PROCEDURE_NOTIFY with `code` to context->window.
void PostProcedureNotify(const InstallerContext* context, int code);

// Starts the worker thread that runs InstallProcedure. With wait = 1 blocks
// until it ends and returns its result; with wait = 0 returns 0 at once (the
// thread handle stays in the context). -1 when the thread can't be created.
int StartWorker(InstallerContext* context, int wait);

// The install, on the worker thread: 0, -1, -2, -3, -10, -11, -21, -604 or
// -605.
// Posts NOTIFY_FAILED (with error_text set) or NOTIFY_INSTALLED to
// context->window, except for -604 and -605, which post nothing.
int InstallProcedure(InstallerContext* context);

// The uninstall, on the window thread: 0, -1, -2, -604 or -605. Posts
// NOTIFY_FAILED for every failure (nothing has been removed then); shows the
// restart message at 0 unless silent.
int UninstallProcedure(InstallerContext* context);

// Registers (do_register = 1) or unregisters (0) the 32-bit ASIO library in
// process and, on 64-bit Windows, the 64-bit one through "qxregsvr64.exe",
// started in the product folder.
// Returns the registration program's exit code, or -1 when it was not run
// or gave none. Needs COM initialised on the calling thread.
int RegisterAsioDrivers(InstallerContext* context, int do_register);

// context->target_folder := JoinPath(<Program Files>, sub_path); 0, or -1
// with it empty when neither the folder nor its fallback fits.
int ResolveProgramFilesTarget(InstallerContext* context, const char* sub_path);

// For the run's log: the folders that `sub_path` adds below `known`, and
// whether each was there when they were watched (nothing is watched while
// no log is open).
constexpr int kMaxWatchedFolders = 4;
struct FolderWatch {
  char paths[kMaxWatchedFolders][kPathSize];
  bool existed[kMaxWatchedFolders];
  int count;
};
void WatchFolders(const char* known, const char* sub_path, FolderWatch* watch);
// Logs "made folder" for each watched folder there now that was not, and
// "removed folder" for each that was and is gone.
void LogFolderChanges(const FolderWatch* watch);

// Holds the folders of kProductSubFolder below Program Files, which
// context->target_folder names (ResolveProgramFilesTarget), as
// HoldAdministratorsFolder does, making the missing ones with `create`:
// kFolderHeld, kFolderUnreachable or kFolderForeign. Release with
// ReleaseHeldFolder(held, SystemHeldFolderOps()).
int HoldProductFolder(const InstallerContext* context, int create, HeldFolder* held);

// After the product folder went: removes the folders above it up to Program
// Files that this left empty ("QX"), logging each (RemoveEmptiedFolders).
// How many went.
int RemoveEmptiedProductFolders(const InstallerContext* context, HeldFolder* held);

// 1 when the mixer driver is installed: a device interface of its class
// (kMixerInterfaceClass) is present.
int ProbeDriverInterface();

// Starts JoinPath(target_folder, the driver setup program for this Windows)
// with `command_line` in target_folder, waits for it without a time limit
// and stores its exit code (-1 if none can be read). 0, -605 when it can't be
// started, -604 when no process handle came back.
int RunDriverSetup(InstallerContext* context, const char* command_line, int* exit_code);

// The status text hand-over between the worker and the window thread: the
// worker sets whole texts, the window copies a whole text out (never half of
// one being written). `out` gets at most out_size - 1 characters.
void SetStatusText(InstallerContext* context, const char* text);
void CopyStatusText(const InstallerContext* context, char* out, size_t out_size);

// 1 while the worker runs (from StartWorker until the procedure has ended).
int IsWorkerRunning(const InstallerContext* context);
