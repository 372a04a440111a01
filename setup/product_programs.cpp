// The product's own programs, started from the product folder: the driver
// setup program, and the ASIO driver libraries' self-registration (the 32-bit
// library in process, the 64-bit one through "qxregsvr64.exe").
//
// Both programs get their command line without the program name in it; the
// name goes separately as CreateProcessA's application name.
#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <objbase.h>

#include <cstdio>

#include "setup/install_procedures.h"

typedef HRESULT(STDAPICALLTYPE* RegistrationEntry)();

static RegistrationEntry FindEntry(HMODULE library, const char* name) {
  return reinterpret_cast<RegistrationEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, name)));
}

int RunDriverSetup(InstallerContext* context, const char* command_line, int* exit_code) {
  *exit_code = -1;
  char program[kPathSize];
  const char* name = context->on_64bit_windows ? "QUILLAN_Setup_x64.exe" : "QUILLAN_Setup.exe";
  if (!JoinPath(program, sizeof program, context->target_folder, name)) return -605;
  char arguments[64];  // CreateProcessA may write into its command line
  std::snprintf(arguments, sizeof arguments, "%s", command_line);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, arguments, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      context->target_folder, &startup, &process)) {
    return -605;
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess == nullptr) return -604;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) *exit_code = static_cast<int>(code);
  CloseHandle(process.hProcess);
  return 0;
}

int RegisterAsioDrivers(InstallerContext* context, int do_register) {
  char library_path[kPathSize];
  if (JoinPath(library_path, sizeof library_path, context->target_folder, "kxbm_asiodriver.dll")) {
    HMODULE library = LoadLibraryA(library_path);
    if (library != nullptr) {
      if (do_register) {
        RegistrationEntry entry = FindEntry(library, "DllRegisterServer");
        if (entry == nullptr) {
          FreeLibrary(library);
        } else {
          const HRESULT result = entry();
          CoFreeLibrary(library);
          if (result == S_OK) Sleep(50);
        }
      } else {
        RegistrationEntry entry = FindEntry(library, "DllUnregisterServer");
        if (entry != nullptr) entry();
        CoFreeLibrary(library);
        if (entry != nullptr) Sleep(50);
      }
    }
  }
  if (!context->on_64bit_windows) return -1;

  char program[kPathSize];
  char library64[kPathSize];
  char arguments[kPathSize + 16];
  if (!JoinPath(program, sizeof program, context->target_folder, "qxregsvr64.exe") ||
      !JoinPath(library64, sizeof library64, context->target_folder, "kxbm_asiodriver64.dll")) {
    return -1;
  }
  std::snprintf(arguments, sizeof arguments, "%s -f%s", do_register ? "" : " -u ", library64);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, arguments, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess == nullptr) return -1;
  // At most 10 seconds; a registration program that hangs does not hold up
  // the installation (its exit code then reads STILL_ACTIVE).
  WaitForSingleObject(process.hProcess, 10000);
  DWORD code = 0;
  const int result = GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
  CloseHandle(process.hProcess);
  return result;
}
