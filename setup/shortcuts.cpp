// CreateShortcut: a shell link file made through IShellLinkA and saved
// through IPersistFile. COM must be initialised on the calling thread (the
// install worker does that).
#include <windows.h>
// windows.h first: the shell headers need its types.
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "setup/install_paths.h"
#include "setup/install_procedures.h"

HRESULT CreateShortcut(const char* target, const char* folder, const char* name) {
  char link_path[kPathSize];
  if (!ShortcutPath(link_path, sizeof link_path, folder, name)) return E_INVALIDARG;
  char working_folder[kPathSize];
  std::snprintf(working_folder, sizeof working_folder, "%s", target);
  char* slash = std::strrchr(working_folder, '\\');
  if (slash != nullptr) *slash = '\0';

  IShellLinkA* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  link->SetPath(target);
  link->SetDescription(name);
  link->SetArguments("");
  link->SetWorkingDirectory(working_folder);
  IPersistFile* file = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    WCHAR wide_path[2048];
    if (MultiByteToWideChar(CP_ACP, 0, link_path, -1, wide_path, 2048) == 0) {
      result = E_INVALIDARG;
    } else {
      result = file->Save(wide_path, TRUE);
    }
    file->Release();
  }
  link->Release();
  return result;
}
