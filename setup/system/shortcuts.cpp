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

#include "setup/paths/install_paths.h"
#include "setup/system/shortcuts.h"
#include "setup/system/held_folders.h"
#include "setup/paths/path_text.h"

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

int PlaceShortcuts(const char* known, const char* sub_path, const ShortcutToMake* links,
                   int count) {
  char folder[kPathSize];
  if (count > kMaxShortcuts || !JoinPath(folder, sizeof folder, known, sub_path)) return -1;
  char link_paths[kMaxShortcuts][kPathSize];  // each must fit a path, as its file will
  HGLOBAL memory[kMaxShortcuts] = {};
  HeldFile files[kMaxShortcuts] = {};
  int made = 0;
  for (int i = 0; i < count; ++i) {
    size_t size = 0;
    if (!ShortcutPath(link_paths[made], sizeof link_paths[made], folder, links[i].name) ||
        FAILED(ShortcutBytes(links[i].target, links[i].name, &memory[made], &size))) {
      continue;
    }
    files[made] = HeldFile{FileNamePart(link_paths[made]), GlobalLock(memory[made]), size};
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
