// The children's environment (see child_environment.h).
//
// How it works. userenv's CreateEnvironmentBlock with a null token gives the
// variables of HKEY_LOCAL_MACHINE\...\Session Manager\Environment and the
// few the system adds, none of the user's. It is looked up by name (the
// installer imports KnownDLLs only) and loaded from the system folder. The
// block is copied without its TEMP and TMP, which follow at the end; names
// compare without letter case, as Windows compares them. Where the call is
// missing or fails, the block is made of what the system's folders give.
#include "setup/system/child_environment.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "setup/system/system_libraries.h"

// The length of a block's variables, the NUL of each counted; the block
// ends with one more NUL.
static size_t BlockLength(const WCHAR* block) {
  size_t length = 0;
  while (block[length] != L'\0') length += std::wcslen(block + length) + 1;
  return length;
}

// 1 when the variable `entry` ("NAME=value") is TEMP or TMP.
static bool IsTempVariable(const WCHAR* entry) {
  return _wcsnicmp(entry, L"TEMP=", 5) == 0 || _wcsnicmp(entry, L"TMP=", 4) == 0;
}

// `system`'s variables but TEMP and TMP, then TEMP and TMP at `temp`, in a
// new block. Null when it can't be had.
static WCHAR* WithTemp(const WCHAR* system, const WCHAR* temp) {
  const size_t temp_length = std::wcslen(temp);
  const size_t size = BlockLength(system) + 2 * (temp_length + 6) + 1;
  auto* block = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(WCHAR)));
  if (block == nullptr) return nullptr;
  WCHAR* at = block;
  for (const WCHAR* entry = system; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    if (IsTempVariable(entry) || entry[0] == L'\0') continue;
    const size_t length = std::wcslen(entry) + 1;
    std::memcpy(at, entry, length * sizeof(WCHAR));
    at += length;
  }
  for (const WCHAR* name : {L"TEMP=", L"TMP="}) {
    const size_t name_length = std::wcslen(name);
    std::memcpy(at, name, name_length * sizeof(WCHAR));
    std::memcpy(at + name_length, temp, (temp_length + 1) * sizeof(WCHAR));
    at += name_length + temp_length + 1;
  }
  *at = L'\0';
  return block;
}

// The system's own block, or null. Freed with the library's own call.
static WCHAR* SystemBlock(HMODULE userenv) {
  typedef BOOL(WINAPI * CreateBlockFn)(LPVOID*, HANDLE, BOOL);
  auto create = reinterpret_cast<CreateBlockFn>(
      reinterpret_cast<void*>(GetProcAddress(userenv, "CreateEnvironmentBlock")));
  void* block = nullptr;
  if (create == nullptr || !create(&block, nullptr, FALSE)) return nullptr;
  return static_cast<WCHAR*>(block);
}

static void FreeSystemBlock(HMODULE userenv, WCHAR* block) {
  typedef BOOL(WINAPI * DestroyBlockFn)(LPVOID);
  auto destroy = reinterpret_cast<DestroyBlockFn>(
      reinterpret_cast<void*>(GetProcAddress(userenv, "DestroyEnvironmentBlock")));
  if (destroy != nullptr) destroy(block);
}

// The variables Windows sets for every process, from the Windows folder:
// what a child needs to find the system. 1 when they fit `out`.
static int MakeFallbackBlock(WCHAR* out, size_t out_size) {
  WCHAR windows[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length < 3 || length >= MAX_PATH) return 0;
  const WCHAR drive[3] = {windows[0], L':', L'\0'};
  constexpr size_t kVariableSize = MAX_PATH * 3 + 32;
  WCHAR variables[6][kVariableSize];
  std::swprintf(variables[0], kVariableSize, L"ComSpec=%ls\\system32\\cmd.exe", windows);
  std::swprintf(variables[1], kVariableSize, L"Path=%ls\\system32;%ls;%ls\\system32\\Wbem", windows,
                windows, windows);
  std::swprintf(variables[2], kVariableSize, L"PATHEXT=.COM;.EXE;.BAT;.CMD");
  std::swprintf(variables[3], kVariableSize, L"SystemDrive=%ls", drive);
  std::swprintf(variables[4], kVariableSize, L"SystemRoot=%ls", windows);
  std::swprintf(variables[5], kVariableSize, L"windir=%ls", windows);
  WCHAR* at = out;
  size_t room = out_size;
  for (const WCHAR* variable : variables) {
    const size_t n = std::wcslen(variable) + 1;
    if (n >= room) return 0;
    std::memcpy(at, variable, n * sizeof(WCHAR));
    at += n;
    room -= n;
  }
  *at = L'\0';
  return 1;
}

WCHAR* MakeChildEnvironment(const char* temp_folder) {
  WCHAR temp[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, temp_folder, -1, temp, MAX_PATH) <= 1) return nullptr;
  HMODULE userenv = LoadSystemLibrary("userenv.dll");
  WCHAR* system = userenv != nullptr ? SystemBlock(userenv) : nullptr;
  WCHAR* block = nullptr;
  if (system != nullptr) {
    block = WithTemp(system, temp);
    FreeSystemBlock(userenv, system);
  } else {
    WCHAR fallback[8 * MAX_PATH];
    if (MakeFallbackBlock(fallback, sizeof fallback / sizeof fallback[0])) {
      block = WithTemp(fallback, temp);
    }
  }
  if (userenv != nullptr) FreeLibrary(userenv);
  return block;
}

void FreeChildEnvironment(WCHAR* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
