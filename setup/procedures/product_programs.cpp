// The product's own programs, started from the product folder: the driver
// setup program, and the ASIO driver libraries' self-registration (the 32-bit
// library in process, the 64-bit one through "qxregsvr64.exe").
//
// Both programs get their command line without the program name in it; the
// name goes separately as CreateProcessA's application name. Both are started
// and waited for by RunProgram, in the product folder: a program started in
// the installer's start folder (a download folder, say) would find a DLL that
// anyone put there before the system's, and run it as administrator. For the
// same reason they get the system's environment, not the user's
// (child_environment.h).
#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "setup/log/run_log.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/product_names.h"
#include "setup/system/child_environment.h"
#include "setup/system/held_folders.h"
#include "setup/system/message_wait.h"
#include "setup/system/registry_values.h"
#include "setup/system/shortcuts.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_probe.h"
#include "setup/system/system_removal.h"

typedef HRESULT(STDAPICALLTYPE* RegistrationEntry)();

static RegistrationEntry FindEntry(HMODULE library, const char* name) {
  return reinterpret_cast<RegistrationEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The folder for a child's temporary files, made in the product folder
// (which only administrators can write) into `temp`: 1, or 0 when it can't
// be made or what has its name is no plain folder.
static int MakeRunTempFolder(const char* folder, char* temp, size_t temp_size) {
  if (!JoinPath(temp, temp_size, folder, kRunTempFolder)) return 0;
  if (!CreateDirectoryA(temp, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
  const DWORD attributes = GetFileAttributesA(temp);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Starts `program` with `arguments` (no inherited handles, normal priority,
// the system's environment with TEMP and TMP at a folder of its own in
// `folder`, removed again when it has ended) in `folder`, waits for it at
// most `wait_ms` and reads its exit code into *exit_code (-1 if none can be
// read; STILL_ACTIVE when it outlasted the wait). 0, -605 when it can't be
// started, -604 when no process handle came back.
static int RunProgram(const char* program, const char* arguments, const char* folder, DWORD wait_ms,
                      int* exit_code) {
  *exit_code = -1;
  char command_line[kPathSize + 16];  // CreateProcessA may write into it
  const int n = std::snprintf(command_line, sizeof command_line, "%s", arguments);
  if (n < 0 || static_cast<size_t>(n) >= sizeof command_line) return kDriverSetupNotStarted;
  char temp[kPathSize];
  if (!MakeRunTempFolder(folder, temp, sizeof temp)) return kDriverSetupNotStarted;
  WCHAR* environment = MakeChildEnvironment(temp);
  if (environment == nullptr) {
    RemoveFolderTree(temp);
    return kDriverSetupNotStarted;
  }
  LogRun("starting %s with \"%s\" in %s", program, arguments, folder);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(program, command_line, nullptr, nullptr, FALSE,
                                      NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT,
                                      environment, folder, &startup, &process);
  FreeChildEnvironment(environment);
  int result = 0;
  if (!started) {
    LogRun("could not start %s (error %lu)", program, static_cast<unsigned long>(GetLastError()));
    result = kDriverSetupNotStarted;
  } else {
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    if (process.hProcess == nullptr) {
      LogRun("no process came back for %s", program);
      result = kDriverSetupNoProcess;
    } else {
      // On the window thread (the uninstall) the windows keep answering: a
      // setup program that broadcasts would otherwise wait for us for ever.
      const DWORD waited_from = GetTickCount();
      WaitHandlingMessages(process.hProcess, wait_ms);
      const double seconds = (GetTickCount() - waited_from) / 1000.0;
      DWORD code = 0;
      if (GetExitCodeProcess(process.hProcess, &code)) *exit_code = static_cast<int>(code);
      CloseHandle(process.hProcess);
      if (code == STILL_ACTIVE) {
        LogRun("%s still runs after %.1f s; the installer goes on", program, seconds);
      } else {
        LogRun("%s ended with exit code %d after %.1f s", program, *exit_code, seconds);
      }
    }
  }
  RemoveFolderTree(temp);  // what a program still running holds open stays
  return result;
}

int RunDriverSetup(InstallerContext* context, const char* command_line, int* exit_code) {
  *exit_code = -1;
  char program[kPathSize];
  const char* name = context->on_64bit_windows ? kDriverSetupProgram64 : kDriverSetupProgram;
  if (!JoinPath(program, sizeof program, context->target_folder, name)) {
    return kDriverSetupNotStarted;
  }
  return RunProgram(program, command_line, context->target_folder, INFINITE, exit_code);
}

int RegisterAsioDrivers(InstallerContext* context, int do_register) {
  char library_path[kPathSize];
  if (JoinPath(library_path, sizeof library_path, context->target_folder, "kxbm_asiodriver.dll")) {
    // The library's own imports are looked for beside it and in the system
    // folder, not in the installer's folder (a download folder).
    HMODULE library = LoadLibraryWithSystemImports(library_path);
    if (library != nullptr) {
      if (do_register) {
        RegistrationEntry entry = FindEntry(library, "DllRegisterServer");
        if (entry == nullptr) {
          LogRun("%s has no DllRegisterServer", library_path);
          FreeLibrary(library);
        } else {
          const HRESULT result = entry();
          LogRun("DllRegisterServer of %s in this process: 0x%08lX", library_path,
                 static_cast<unsigned long>(result));
          CoFreeLibrary(library);
          if (result == S_OK) Sleep(50);
        }
      } else {
        RegistrationEntry entry = FindEntry(library, "DllUnregisterServer");
        if (entry != nullptr) {
          const HRESULT result = entry();
          LogRun("DllUnregisterServer of %s in this process: 0x%08lX", library_path,
                 static_cast<unsigned long>(result));
        }
        CoFreeLibrary(library);
        if (entry != nullptr) Sleep(50);
      }
    } else {
      LogRun("could not load %s (error %lu)", library_path,
             static_cast<unsigned long>(GetLastError()));
    }
  }
  if (!context->on_64bit_windows) return -1;

  char program[kPathSize];
  char library64[kPathSize];
  char arguments[kPathSize + 16];
  if (!JoinPath(program, sizeof program, context->target_folder, kRegistrationProgram64) ||
      !JoinPath(library64, sizeof library64, context->target_folder, "kxbm_asiodriver64.dll")) {
    return -1;
  }
  std::snprintf(arguments, sizeof arguments, "%s -f%s", do_register ? "" : " -u ", library64);
  // At most 10 seconds; a registration program that hangs does not hold up
  // the installation (its exit code then reads STILL_ACTIVE).
  int exit_code = -1;
  RunProgram(program, arguments, context->target_folder, 10000, &exit_code);
  return exit_code;
}

int ProbeDriverInterface() { return ProbeDeviceInterface(&kMixerInterfaceClass); }

int ResolveProgramFilesTarget(InstallerContext* context, const char* sub_path) {
  return ResolveProgramFilesFolder(context->target_folder, sizeof context->target_folder, sub_path);
}

void WatchFolders(const char* known, const char* sub_path, FolderWatch* watch) {
  watch->count = 0;
  if (!IsRunLogOpen()) return;
  char path[kPathSize];
  std::snprintf(path, sizeof path, "%s", known);
  for (const char* at = sub_path; *at != '\0' && watch->count < kMaxWatchedFolders;) {
    char name[kPathSize];
    at = NextSubPathName(at, name, sizeof name);
    if (at == nullptr || !JoinPath(path, sizeof path, path, name)) return;
    std::snprintf(watch->paths[watch->count], kPathSize, "%s", path);
    watch->existed[watch->count] = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    ++watch->count;
  }
}

void LogFolderChanges(const FolderWatch* watch) {
  for (int i = 0; i < watch->count; ++i) {
    const bool exists = GetFileAttributesA(watch->paths[i]) != INVALID_FILE_ATTRIBUTES;
    if (exists && !watch->existed[i]) LogRun("made folder %s", watch->paths[i]);
    if (!exists && watch->existed[i]) LogRun("removed folder %s", watch->paths[i]);
  }
}

// Program Files: what the target folder has before "\QX\Brindlemoor", into
// `out` (kPathSize bytes). False when the target folder is no such path.
static bool ProgramFilesOf(const InstallerContext* context, char* out) {
  const size_t length = std::strlen(context->target_folder);
  const size_t sub_length = sizeof kProductSubFolder - 1;
  if (length <= sub_length + 1 || length >= kPathSize ||
      context->target_folder[length - sub_length - 1] != '\\' ||
      lstrcmpiA(context->target_folder + length - sub_length, kProductSubFolder) != 0) {
    return false;
  }
  std::memcpy(out, context->target_folder, length - sub_length - 1);
  out[length - sub_length - 1] = '\0';
  return true;
}

static void LogRemovedFolder(const char* path) { LogRun("removed folder %s", path); }

int RemoveEmptiedProductFolders(const InstallerContext* context, HeldFolder* held) {
  char program_files[kPathSize];
  if (!ProgramFilesOf(context, program_files)) return 0;
  const HeldFolderOps ops = SystemHeldFolderOps();
  return RemoveEmptiedFolders(held, program_files, kProductSubFolder, &ops, LogRemovedFolder);
}

int HoldProductFolder(const InstallerContext* context, int create, HeldFolder* held) {
  held->count = 0;
  char program_files[kPathSize];
  if (!ProgramFilesOf(context, program_files)) return kFolderUnreachable;
  const HeldFolderOps ops = SystemHeldFolderOps();
  FolderWatch folders;
  WatchFolders(program_files, kProductSubFolder, &folders);
  const int result = HoldAdministratorsFolder(program_files, kProductSubFolder, create, &ops, held);
  LogFolderChanges(&folders);
  if (result == kFolderUnreachable)
    LogRun("product folder %s: missing or reached through a link", context->target_folder);
  if (result == kFolderForeign)
    LogRun("product folder %s: someone but the administrators may change it",
           context->target_folder);
  return result;
}
