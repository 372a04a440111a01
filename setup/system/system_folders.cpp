// Where the product goes: the Program Files folder and the shell folders.
//
// Both ask SHELL32's SHGetSpecialFolderPathA first and SHFOLDER's
// SHGetFolderPathA second, each looked up by name so that the installer
// starts on systems that lack either, and each loaded from the system folder
// (LoadSystemLibrary); the Program Files folder has a last fallback built
// from the Windows folder (install_paths.h). An answer that is no full path
// counts as no answer: the product must not land below the current folder.
#include "setup/system/system_folders.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "setup/paths/install_paths.h"
#include "setup/paths/path_text.h"
#include "setup/system/system_libraries.h"

ShellFolders g_shell_folders = {0, "", "Startup"};

typedef BOOL(WINAPI* SpecialFolderPathFn)(HWND, LPSTR, int, BOOL);
typedef HRESULT(WINAPI* FolderPathFn)(HWND, int, HANDLE, DWORD, LPSTR);

constexpr int kProgramFilesCsidl = 38;    // CSIDL_PROGRAM_FILES
constexpr int kCommonProgramsCsidl = 23;  // CSIDL_COMMON_PROGRAMS
constexpr int kStartupCsidl = 7;          // CSIDL_STARTUP

static SpecialFolderPathFn FindSpecialFolderPath(HMODULE shell32) {
  return reinterpret_cast<SpecialFolderPathFn>(
      reinterpret_cast<void*>(GetProcAddress(shell32, "SHGetSpecialFolderPathA")));
}

static FolderPathFn FindFolderPath(HMODULE shfolder) {
  return reinterpret_cast<FolderPathFn>(
      reinterpret_cast<void*>(GetProcAddress(shfolder, "SHGetFolderPathA")));
}

int ResolveProgramFilesFolder(char* target, size_t target_size, const char* sub_path) {
  // The shell's answers need MAX_PATH bytes.
  if (target_size < MAX_PATH) return -1;
  target[0] = '\0';
  HMODULE shell32 = LoadSystemLibrary("SHELL32.DLL");
  if (shell32 != nullptr) {
    SpecialFolderPathFn special_folder_path = FindSpecialFolderPath(shell32);
    if (special_folder_path != nullptr &&
        special_folder_path(nullptr, target, kProgramFilesCsidl, FALSE) != TRUE) {
      target[0] = '\0';
    }
    FreeLibrary(shell32);
  }
  if (!IsAbsoluteFolder(target)) target[0] = '\0';
  if (target[0] == '\0') {
    HMODULE shfolder = LoadSystemLibrary("SHFOLDER.DLL");
    if (shfolder != nullptr) {
      FolderPathFn folder_path = FindFolderPath(shfolder);
      if (folder_path != nullptr &&
          folder_path(nullptr, kProgramFilesCsidl, nullptr, 0, target) != S_OK) {
        target[0] = '\0';
      }
      FreeLibrary(shfolder);
    }
  }
  if (!IsAbsoluteFolder(target)) target[0] = '\0';
  if (target[0] == '\0') {
    char windows[2000];
    windows[0] = '\0';
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    const int complete = length != 0 && length == std::strlen(windows);
    ProgramFilesFallback(windows, complete, target, target_size);
    if (target[0] == '\0') return -1;
  }
  return JoinPath(target, target_size, target, sub_path) ? 0 : -1;
}

void ResolveShellFolders() {
  ShellFolders* folders = &g_shell_folders;
  if (folders->resolved) return;
  folders->resolved = 1;
  HMODULE shell32 = LoadSystemLibrary("SHELL32.DLL");
  if (shell32 == nullptr) return;
  int ask_shfolder = 1;
  SpecialFolderPathFn special_folder_path = FindSpecialFolderPath(shell32);
  if (special_folder_path != nullptr) {
    ask_shfolder = 0;
    if (special_folder_path(nullptr, folders->common_programs, kCommonProgramsCsidl, TRUE) !=
        TRUE) {
      folders->common_programs[0] = '\0';
      ask_shfolder = 1;
    }
    // Not created: only the removal looks there, and the folder the user's
    // settings name is nothing the elevated installer should make.
    if (special_folder_path(nullptr, folders->startup, kStartupCsidl, FALSE) != TRUE) {
      folders->startup[0] = '\0';
      ask_shfolder = 1;
    }
  }
  if (ask_shfolder) {
    HMODULE shfolder = LoadSystemLibrary("SHFOLDER.DLL");
    FolderPathFn folder_path = shfolder != nullptr ? FindFolderPath(shfolder) : nullptr;
    if (folder_path != nullptr) {
      if (folders->common_programs[0] == '\0' && folder_path(nullptr, kCommonProgramsCsidl, nullptr,
                                                             0, folders->common_programs) != S_OK) {
        folders->common_programs[0] = '\0';
      }
      if (folders->startup[0] == '\0' &&
          folder_path(nullptr, kStartupCsidl, nullptr, 0, folders->startup) != S_OK) {
        folders->startup[0] = '\0';
      }
    }
    if (shfolder != nullptr) FreeLibrary(shfolder);
  }
  FreeLibrary(shell32);
}

int IsInUserProfile(const char* folder) {
  typedef BOOL(WINAPI * ProfileFolderFn)(HANDLE, LPSTR, LPDWORD);
  HMODULE userenv = LoadSystemLibrary("userenv.dll");
  if (userenv == nullptr) return 0;
  auto profile_folder = reinterpret_cast<ProfileFolderFn>(
      reinterpret_cast<void*>(GetProcAddress(userenv, "GetUserProfileDirectoryA")));
  char profile[MAX_PATH];
  DWORD size = sizeof profile;
  HANDLE token = nullptr;
  int inside = 0;
  if (profile_folder != nullptr && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    inside = profile_folder(token, profile, &size) && IsAbsoluteFolder(profile) &&
             IsInsideFolder(folder, profile);
    CloseHandle(token);
  }
  FreeLibrary(userenv);
  return inside;
}
