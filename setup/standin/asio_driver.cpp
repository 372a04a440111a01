// Stand-in ASIO driver library: kxbm_asiodriver.dll and kxbm_asiodriver64.dll.
//
// The real libraries are the mixer's ASIO drivers. These carry only the two
// COM self-registration entry points the installer calls: DllRegisterServer
// writes HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{class} (name,
// InprocServer32 = this library's path, ThreadingModel "Both"),
// DllUnregisterServer deletes that key again. Not through HKEY_CLASSES_ROOT:
// it writes to the user's own Software\Classes wherever the user made the
// key first, and the registration runs as administrator for every user. The two libraries have
// classes of their own (QX_ASIO_CLSID, given by the build), so a test can tell which of them was
// registered. Each call appends a line to the stand-in log.
#include <windows.h>
// windows.h first: olectl.h needs its types.
#include <olectl.h>

#include <cstdio>
#include <cstring>

#include "setup/standin/standin_log.h"

#ifndef QX_ASIO_CLSID
#error "the build names the library's class in QX_ASIO_CLSID"
#endif

static const char kClassKey[] = "Software\\Classes\\CLSID\\" QX_ASIO_CLSID;
static const char kServerKey[] = "Software\\Classes\\CLSID\\" QX_ASIO_CLSID "\\InprocServer32";

static HMODULE g_module = nullptr;

static LONG SetText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

// The keys under HKEY_LOCAL_MACHINE, made or opened. 1 on success.
static int WriteKey(const char* sub_key, const char* name, const char* text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const LONG status = SetText(key, name, text);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  AppendStandInLog();
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return SELFREG_E_CLASS;
  const int ok = WriteKey(kClassKey, nullptr, "Brindlemoor ASIO Driver (stand-in)") &&
                 WriteKey(kServerKey, nullptr, path) &&
                 WriteKey(kServerKey, "ThreadingModel", "Both");
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  AppendStandInLog();
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kServerKey);
  const LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kClassKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}
