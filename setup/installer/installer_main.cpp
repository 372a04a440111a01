// Program entry of BrindlemoorSetup: command line, single-instance lock,
// closing a running mixer, shell folders, the context, COM, the window and
// its message loop. The exit code is the quit message's: 0 after a normal
// close, the procedure's result after an unattended run or a failed one,
// -1 for a second instance or a message loop that failed, and
// kNoActionExitCode for a hidden run with nothing to do.
//
// Once the folders it needs are known as full paths, the installer works in
// the system folder: the folder it was started from (a download folder,
// typically) is nobody's to trust.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "setup/installer/installer_window.h"
#include "setup/procedures/install_procedures.h"
#include "setup/procedures/install_results.h"
#include "setup/procedures/product_info.h"
#include "setup/procedures/product_names.h"
#include "setup/system/os_version.h"
#include "setup/log/run_log.h"
#include "setup/system/running_image.h"
#include "setup/system/system_folders.h"
#include "setup/system/system_libraries.h"
#include "setup/system/system_probe.h"

static const char kInstallerMutex[] =
    "Tarnwell Brindlemoor-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}";

// The mixer application's main window is titled "BrindleMoor".
static BOOL CALLBACK CloseMixerWindow(HWND window, LPARAM) {
  char title[512];
  if (GetWindowTextA(window, title, sizeof title) > 0 &&
      std::strcmp(title, kMixerWindowTitle) == 0) {
    PostMessageA(window, WM_DESTROY, 0, 0);
  }
  return TRUE;
}

static int IsWow64() {
  typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  auto is_wow64 = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "IsWow64Process") : nullptr));
  BOOL wow64 = FALSE;
  if (!is_wow64 || !is_wow64(GetCurrentProcess(), &wow64)) return 0;
  return wow64 ? 1 : 0;
}

// Opens the run's log in the user's temporary folder and writes what the run
// starts from: the installer's version and file, its command line, and the
// Windows it runs on.
static void StartRunLog(const char* installer_path, int on_64bit_windows) {
  char temp[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  char path[kPathSize];
  if (length == 0 || length >= sizeof temp || !OpenRunLog(temp, path, sizeof path)) return;
  LogRun("BrindlemoorSetup %s (%d-bit program): %s", INSTALLER_VERSION_TEXT,
         static_cast<int>(sizeof(void*) * 8), installer_path);
  LogRun("command line: %s", GetCommandLineA());
  OSVERSIONINFOEXA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  typedef LONG(WINAPI * GetVersionFn)(OSVERSIONINFOEXA*);
  // RtlGetVersion tells the true version, which GetVersionExA hides from a
  // program without a manifest entry for it.
  auto get_version = reinterpret_cast<GetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  if (get_version == nullptr || get_version(&version) != 0) version = {};
  const int os_code = DetectOs();
  LogRun("Windows %lu.%lu build %lu (os code %d, %s), %s Windows%s",
         static_cast<unsigned long>(version.dwMajorVersion),
         static_cast<unsigned long>(version.dwMinorVersion),
         static_cast<unsigned long>(version.dwBuildNumber), os_code, OsText(os_code),
         on_64bit_windows ? "64-bit" : "32-bit",
         sizeof(void*) == 4 && on_64bit_windows ? ", under WOW64" : "");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  // The copy the install leaves as the uninstaller comes from this handle,
  // taken before anything else: the file at this path may be another later.
  char installer_path[kPathSize];
  HANDLE installer_image = OpenRunningImage(installer_path, sizeof installer_path);
  RestrictDllSearch();  // before anything can load a DLL by name
  g_installer_flags = ParseInstallerCommandLine(arguments);
  // Hidden and nothing asked for: no window would ever end the run, and it
  // would hold the lock that every later run waits for.
  if (g_installer_flags.silent && !g_installer_flags.auto_install &&
      !g_installer_flags.auto_remove) {
    if (installer_image) CloseHandle(installer_image);
    return kNoActionExitCode;
  }

  HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstallerMutex);
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex) {
      ReleaseMutex(mutex);
      CloseHandle(mutex);
    }
    if (installer_image) CloseHandle(installer_image);
    return -1;
  }
  WaitForSingleObject(mutex, INFINITE);
  const int on_64bit_windows = sizeof(void*) == 8 ? 1 : IsWow64();
  if (g_installer_flags.log) StartRunLog(installer_path, on_64bit_windows);

  EnumWindows(CloseMixerWindow, 0);
  ResolveShellFolders();
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length > 0 && length < sizeof system) SetCurrentDirectoryA(system);

  std::memset(&g_installer, 0, sizeof g_installer);
  g_installer.instance = instance;
  std::memcpy(g_installer.installer_path, installer_path, sizeof installer_path);
  g_installer.installer_image = installer_image;
  // The 64-bit build runs on 64-bit Windows by definition.
  g_installer.on_64bit_windows = on_64bit_windows;
  char caption[128];
  std::snprintf(caption, sizeof caption, "Tarnwell Brindlemoor Installation (Version %s)",
                INSTALLER_VERSION_TEXT);
  const HRESULT com = CoInitialize(nullptr);

  int exit_code = -1;  // the window could not be made: the start-up failed
  if (RegisterInstallerWindowClass(instance) && CreateInstallerWindow(instance, caption)) {
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    // -1: the loop failed and `msg` holds no quit message.
    exit_code = got == 0 ? static_cast<int>(msg.wParam) : -1;
  }

  LogRun("result %d: %s", exit_code, ResultMeaning(exit_code));
  CloseRunLog();
  ReleaseMutex(mutex);
  ReleaseMutex(mutex);  // owned twice: at creation and by the wait
  CloseHandle(mutex);
  if (installer_image) CloseHandle(installer_image);
  if (com == S_OK) CoUninitialize();
  return exit_code;
}
