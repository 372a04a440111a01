// Stand-in registration program: qxregsvr64.exe.
//
// Registers (" -f<library>") or unregisters (" -u  -f<library>") a COM
// library the way regsvr32 does: loads it, calls DllRegisterServer or
// DllUnregisterServer, and ends with 0 when the entry point returned S_OK.
// Other exit codes: 2 for a command line without a library, 3 when the
// library can't be loaded, 4 when it lacks the entry point, 5 when the entry
// point failed. Each run appends a line to the stand-in log.
#include <windows.h>

#include "setup/standin/standin_args.h"
#include "setup/standin/standin_log.h"

typedef HRESULT(STDAPICALLTYPE* RegistrationEntry)();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  AppendStandInLog();
  int unregister = 0;
  char library_path[MAX_PATH];
  if (!ParseRegistrationArguments(GetCommandLineA(), &unregister, library_path,
                                  sizeof library_path)) {
    return 2;
  }
  HMODULE library = LoadLibraryA(library_path);
  if (library == nullptr) return 3;
  const char* entry_name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  RegistrationEntry entry = reinterpret_cast<RegistrationEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, entry_name)));
  int result = 4;
  if (entry != nullptr) result = entry() == S_OK ? 0 : 5;
  FreeLibrary(library);
  return result;
}
