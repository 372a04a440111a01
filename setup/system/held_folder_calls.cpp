// The held-folder operations made of NT calls (see held_folders.h and
// nt_file_calls.h), and the copy of an open file.
//
// A folder below an open folder is opened relative to the open folder's
// handle, with kNtOpenReparsePoint so that a junction or symbolic link at
// the name is opened as itself; its attributes, read through the handle,
// must say "folder" and not "reparse point". The handle asks for listing
// access and shares reading and writing but not deletion: while it is open,
// nobody can open the folder for deletion, which renaming and deleting it
// need. The first folder of a chain comes as a full path, where the open
// leaves only the last name unfollowed: the path the handle really names
// must then be the path asked for, or a link higher up led elsewhere.
//
// Below the last folder, a file is made with kNtCreate and
// kNtOpenReparsePoint, so that any name that exists collides, a link
// included (without the option a create goes through a link and makes its
// target). A name is deleted through a handle of its own, opened on the
// name itself: a file or a link goes, a real folder never.
#include <cstring>

#include "setup/paths/path_text.h"
#include "setup/system/held_folders.h"

constexpr uint32_t kFolderAccess = kNtReadData | kNtTraverse | kNtReadAttributes | kNtReadControl;
constexpr uint32_t kHoldShare = kNtShareRead | kNtShareWrite;

static const NtFileCalls* CallsOf(void* user) { return static_cast<const NtFileCalls*>(user); }

static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The same path, letter case and one trailing '\' apart.
static bool SamePath(const char* a, const char* b) {
  size_t a_length = std::strlen(a), b_length = std::strlen(b);
  if (a_length > 3 && a[a_length - 1] == '\\') --a_length;
  if (b_length > 3 && b[b_length - 1] == '\\') --b_length;
  if (a_length != b_length) return false;
  for (size_t i = 0; i < a_length; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

static bool IsPlainFolder(const NtFileCalls* calls, void* handle) {
  return IsPlainFolderAttributes(calls->attributes(calls->user, handle));
}

// The folder `name` below `parent` (or the full path `name`), opened with
// `access` without following a link: null unless it is a plain folder that
// is where its path says.
static void* OpenPlainFolder(const NtFileCalls* calls, void* parent, const char* name, int create,
                             uint32_t access) {
  const uint32_t disposition = parent != nullptr && create ? kNtOpenIf : kNtOpen;
  void* folder = calls->create(calls->user, parent, name, access, kHoldShare, disposition,
                               kNtDirectoryFile | kNtOpenReparsePoint);
  if (folder == nullptr) return nullptr;
  bool where_asked = true;
  if (parent == nullptr) {
    char real[kPathSize];
    where_asked = calls->final_path(calls->user, folder, real, sizeof real) && SamePath(real, name);
  }
  if (!where_asked || !IsPlainFolder(calls, folder)) {
    calls->close(calls->user, folder);
    return nullptr;
  }
  return folder;
}

static void* OpenFolder(void* user, void* parent, const char* name, int create, int removable) {
  const NtFileCalls* calls = CallsOf(user);
  void* folder =
      OpenPlainFolder(calls, parent, name, create, kFolderAccess | (removable ? kNtDelete : 0));
  // Someone who holds the folder open without sharing deletion (a command
  // prompt working in it) keeps it from going; the files in it still can.
  if (folder == nullptr && removable) {
    folder = OpenPlainFolder(calls, parent, name, create, kFolderAccess);
  }
  return folder;
}

static int DeleteHeldFile(void* user, void* folder, const char* name) {
  const NtFileCalls* calls = CallsOf(user);
  void* file =
      calls->create(calls->user, folder, name, kNtDelete | kNtReadAttributes,
                    kNtShareRead | kNtShareWrite | kNtShareDelete, kNtOpen, kNtOpenReparsePoint);
  if (file == nullptr) return 0;
  const uint32_t attributes = calls->attributes(calls->user, file);
  const int deleted = !IsPlainFolderAttributes(attributes) && attributes != 0 &&
                      calls->delete_on_close(calls->user, file);
  calls->close(calls->user, file);
  return deleted;
}

static int WriteNewFile(void* user, void* folder, const char* name, const void* bytes,
                        size_t size) {
  const NtFileCalls* calls = CallsOf(user);
  void* file = calls->create(calls->user, folder, name, kNtWriteData | kNtDelete, 0, kNtCreate,
                             kNtNonDirectoryFile | kNtOpenReparsePoint);
  if (file == nullptr) return 0;
  const int ok = calls->write(calls->user, file, bytes, size);
  if (!ok) calls->delete_on_close(calls->user, file);  // no half a file under the name
  calls->close(calls->user, file);
  return ok;
}

static int FolderSecurityOf(void* user, void* folder, FolderSecurity* security) {
  return CallsOf(user)->read_security(CallsOf(user)->user, folder, security);
}

static void* MakeProtectedFolder(void* user, void* parent, const char* name) {
  const NtFileCalls* calls = CallsOf(user);
  void* folder =
      calls->create_protected_folder(calls->user, parent, name, kFolderAccess, kHoldShare);
  if (folder != nullptr && !IsPlainFolder(calls, folder)) {
    calls->close(calls->user, folder);
    return nullptr;
  }
  return folder;
}

static int ListFolder(void* user, void* folder,
                      void (*each)(void* context, const char* name, uint32_t attributes),
                      void* context) {
  return CallsOf(user)->list(CallsOf(user)->user, folder, each, context);
}

static int RemoveHeldFolder(void* user, void* folder) {
  return CallsOf(user)->delete_on_close(CallsOf(user)->user, folder);
}

static void CloseHeld(void* user, void* folder) {
  CallsOf(user)->close(CallsOf(user)->user, folder);
}

HeldFolderOps HeldFolderOpsOver(const NtFileCalls* calls) {
  HeldFolderOps ops = {};
  ops.user = const_cast<NtFileCalls*>(calls);
  ops.open = OpenFolder;
  ops.delete_file = DeleteHeldFile;
  ops.write_new_file = WriteNewFile;
  ops.remove_folder = RemoveHeldFolder;
  ops.close = CloseHeld;
  ops.security = FolderSecurityOf;
  ops.make_protected = MakeProtectedFolder;
  ops.list = ListFolder;
  return ops;
}

int CopyOpenFile(const NtFileCalls* calls, void* source, const char* target) {
  void* copy = calls->create(calls->user, nullptr, target, kNtWriteData | kNtDelete, 0,
                             kNtOverwriteIf, kNtNonDirectoryFile | kNtOpenReparsePoint);
  if (copy == nullptr) return 0;
  char chunk[1 << 15];
  uint64_t offset = 0;
  int ok = 1;
  for (;;) {
    const int64_t got = calls->read(calls->user, source, offset, chunk, sizeof chunk);
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (!calls->write(calls->user, copy, chunk, static_cast<size_t>(got))) {
      ok = 0;
      break;
    }
    offset += static_cast<uint64_t>(got);
  }
  if (!ok) calls->delete_on_close(calls->user, copy);  // no half a copy under the name
  calls->close(calls->user, copy);
  return ok;
}
