// Shell links: made through IShellLinkA, saved through IPersistStream into
// memory, and written as new files through open folders (held_folders.h).
//
// The shell's own IPersistFile::Save would open the link's path by name and
// write through whatever is there; the Start-menu folders belong to their
// user, so the installer writes the bytes itself, as a new file below folders
// it holds open. The bytes are the link's whole persistent form, which is
// what the file holds; only the fallback path relative to the link's own
// place, which IPersistFile::Save adds on Windows, is left out (the link
// names its target by full path and by its item list). COM must be
// initialised on the calling thread (the install worker does that).
#include <windows.h>
// windows.h first: the shell headers need its types.
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "setup/install_paths.h"
#include "setup/install_procedures.h"

// The link to `target`, described as `name`, in a global memory block that
// the caller frees; its byte count in *size. The HRESULT of the making.
static HRESULT ShortcutBytes(const char* target, const char* name, HGLOBAL* memory, size_t* size) {
  *memory = nullptr;
  *size = 0;
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
  IPersistStream* persist = nullptr;
  IStream* stream = nullptr;
  result = link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
  if (SUCCEEDED(result)) result = CreateStreamOnHGlobal(nullptr, FALSE, &stream);
  if (SUCCEEDED(result)) result = persist->Save(stream, TRUE);
  ULARGE_INTEGER end = {};
  if (SUCCEEDED(result)) result = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end);
  HGLOBAL bytes = nullptr;
  if (stream != nullptr && FAILED(GetHGlobalFromStream(stream, &bytes))) bytes = nullptr;
  if (SUCCEEDED(result) && (bytes == nullptr || end.QuadPart > GlobalSize(bytes))) result = E_FAIL;
  if (stream != nullptr) stream->Release();
  if (persist != nullptr) persist->Release();
  link->Release();
  if (FAILED(result)) {
    if (bytes != nullptr) GlobalFree(bytes);
    return result;
  }
  *memory = bytes;
  *size = static_cast<size_t>(end.QuadPart);
  return S_OK;
}

int PlaceShortcuts(const char* known, const char* sub_path, const ShortcutSpec* links, int count) {
  char folder[kPathSize];
  if (count > kMaxShortcuts || !JoinPath(folder, sizeof folder, known, sub_path)) return -1;
  char file_names[kMaxShortcuts][kPackageNameSize];
  HGLOBAL memory[kMaxShortcuts] = {};
  HeldFile files[kMaxShortcuts] = {};
  int made = 0;
  for (int i = 0; i < count; ++i) {
    char link_path[kPathSize];  // must fit a path, as the file will
    size_t size = 0;
    const int n = std::snprintf(file_names[made], sizeof file_names[made], "%s.LNK", links[i].name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof file_names[made] ||
        !ShortcutPath(link_path, sizeof link_path, folder, links[i].name) ||
        FAILED(ShortcutBytes(links[i].target, links[i].name, &memory[made], &size))) {
      continue;
    }
    files[made] = HeldFile{file_names[made], GlobalLock(memory[made]), size};
    ++made;
  }
  const HeldFolderOps ops = SystemHeldFolderOps();
  const int placed = made > 0 ? PlaceHeldFiles(known, sub_path, files, made, &ops) : 0;
  for (int i = 0; i < made; ++i) {
    GlobalUnlock(memory[i]);
    GlobalFree(memory[i]);
  }
  return placed;
}

HRESULT CreateShortcut(const char* target, const char* folder, const char* name) {
  const ShortcutSpec link = {target, name};
  return PlaceShortcuts(folder, "", &link, 1) == 1 ? S_OK : E_FAIL;
}
