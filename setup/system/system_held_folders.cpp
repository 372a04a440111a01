// The NT calls of held-folder work (nt_file_calls.h) on Windows.
//
// Opens go through NtCreateFile, relative to an open folder's handle (the
// Win32 calls take whole paths only) or, for a full path, from the "\??\"
// form of the path, so that the options reach the file system as given. Every
// handle is synchronous. Names are ANSI text of the system code page, turned
// into UTF-16 here; a listed name that has no exact ANSI form is passed over
// (a best-fit form could name another file).
//
// Security: the owner and access list come from GetSecurityInfo on the
// handle. The administrators are the Administrators group, SYSTEM and
// TrustedInstaller. Under Wine there are no others to keep out: every
// program of the Unix user runs as that one Windows user, a member of
// Administrators, and Wine reports that user as the owner of every file it
// did not make otherwise, with an access list made of the Unix permissions
// (so a folder that other Unix users may write is still refused there). So
// under Wine, and only there, this process's own user counts as an
// administrator. A protected folder is made with its security descriptor in
// the create itself: it is never there without it.
#include <windows.h>
// windows.h first: winternl.h and aclapi.h need its types.
#include <aclapi.h>
#include <winternl.h>

#include <cstring>

#include "setup/system/held_folders.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc, PVOID context,
                                               PIO_STATUS_BLOCK status, PVOID buffer, ULONG size,
                                               FILE_INFORMATION_CLASS information_class,
                                               BOOLEAN single_entry, PUNICODE_STRING pattern,
                                               BOOLEAN restart);

// The NT form of `name`: as it is below a folder, "\??\C:\..." for a drive
// path and "\??\UNC\server\share..." for a network path. 0 when it does not
// fit.
static int NtName(const char* name, bool full_path, WCHAR* out, int out_size) {
  const WCHAR* prefix = L"";
  if (full_path) prefix = (name[0] == '\\' && name[1] == '\\') ? L"\\??\\UNC" : L"\\??\\";
  const int prefix_length = static_cast<int>(lstrlenW(prefix));
  if (full_path && name[0] == '\\') ++name;  // "\\server" after "\??\UNC" keeps one '\'
  if (prefix_length >= out_size) return 0;
  std::memcpy(out, prefix, sizeof(WCHAR) * static_cast<size_t>(prefix_length));
  const int length =
      MultiByteToWideChar(CP_ACP, 0, name, -1, out + prefix_length, out_size - prefix_length);
  return length > 1 ? prefix_length + length - 1 : 0;
}

static void* CreateWith(void* parent, const char* name, uint32_t access, uint32_t share,
                        uint32_t disposition, uint32_t options, PSECURITY_DESCRIPTOR security) {
  WCHAR wide[MAX_PATH + 16];
  const int length = NtName(name, parent == nullptr, wide, MAX_PATH + 16);
  if (length == 0) return nullptr;
  UNICODE_STRING text;
  text.Buffer = wide;
  text.Length = static_cast<USHORT>(length * sizeof(WCHAR));
  text.MaximumLength = static_cast<USHORT>((length + 1) * sizeof(WCHAR));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, static_cast<HANDLE>(parent),
                             security);
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, share, disposition,
                                       options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  return NT_SUCCESS(result) ? handle : nullptr;
}

static void* Create(void*, void* parent, const char* name, uint32_t access, uint32_t share,
                    uint32_t disposition, uint32_t options) {
  return CreateWith(parent, name, access, share, disposition, options, nullptr);
}

static uint32_t Attributes(void*, void* handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(static_cast<HANDLE>(handle), &info) ? info.dwFileAttributes : 0;
}

static int FinalPath(void*, void* handle, char* out, size_t out_size) {
  char path[1024];
  const DWORD length = GetFinalPathNameByHandleA(static_cast<HANDLE>(handle), path, sizeof path,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof path) return 0;
  // "\\?\C:\..." is "C:\...", "\\?\UNC\server\..." is "\\server\...".
  const char* dos = path;
  char unc[sizeof path];
  if (std::strncmp(path, "\\\\?\\UNC\\", 8) == 0) {
    unc[0] = '\\';
    lstrcpynA(unc + 1, path + 7, sizeof unc - 1);
    dos = unc;
  } else if (std::strncmp(path, "\\\\?\\", 4) == 0) {
    dos = path + 4;
  }
  if (std::strlen(dos) >= out_size) return 0;
  lstrcpynA(out, dos, static_cast<int>(out_size));
  return 1;
}

static int64_t Read(void*, void* handle, uint64_t offset, void* bytes, size_t size) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD asked = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
  if (ReadFile(static_cast<HANDLE>(handle), bytes, asked, &got, &at)) return got;
  return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

static int Write(void*, void* handle, const void* bytes, size_t size) {
  const char* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const DWORD part = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle), at, part, &written, nullptr) || written == 0) {
      return 0;
    }
    at += written;
    size -= written;
  }
  return 1;
}

static int DeleteOnClose(void*, void* handle) {
  FILE_DISPOSITION_INFORMATION disposition;
  disposition.DoDeleteFile = TRUE;
  IO_STATUS_BLOCK status = {};
  return NT_SUCCESS(NtSetInformationFile(static_cast<HANDLE>(handle), &status, &disposition,
                                         sizeof disposition, FileDispositionInformation))
             ? 1
             : 0;
}

static void Close(void*, void* handle) { CloseHandle(static_cast<HANDLE>(handle)); }

static bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
static bool IsTrustedInstaller(PSID sid) {
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID trusted_installer = nullptr;
  if (!AllocateAndInitializeSid(&nt_authority, 6, 80, 956008885, 3418522649u, 1831038044,
                                1853292631, 2271478464u, 0, 0, &trusted_installer)) {
    return false;
  }
  const bool same = EqualSid(sid, trusted_installer) != FALSE;
  FreeSid(trusted_installer);
  return same;
}

static bool IsProcessUser(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(8) unsigned char buffer[256];
  DWORD size = 0;
  const bool same = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
  CloseHandle(token);
  return same;
}

static int IdentityOf(PSID sid) {
  if (sid == nullptr || !IsValidSid(sid)) return kIdentityOther;
  if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
      IsTrustedInstaller(sid)) {
    return kIdentityAdministrators;
  }
  if (IsWellKnownSid(sid, WinCreatorOwnerSid)) return kIdentityCreatorOwner;
  if (RunsUnderWine() && IsProcessUser(sid)) return kIdentityAdministrators;
  return kIdentityOther;
}

static int ReadSecurity(void*, void* handle, FolderSecurity* security) {
  PSID owner = nullptr;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(static_cast<HANDLE>(handle), SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                      &list, nullptr, &descriptor) != ERROR_SUCCESS) {
    return 0;
  }
  *security = FolderSecurity{};
  security->owner = IdentityOf(owner);
  security->has_list = list != nullptr;
  for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(list, i, &ace) || security->entry_count == kMaxFolderEntries) {
      security->truncated = 1;
      break;
    }
    // Every kind of entry keeps its rights right after its header; the
    // plain kinds keep their identity after that.
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    auto* plain = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    FolderAccessEntry& entry = security->entries[security->entry_count++];
    entry.rights = plain->Mask;
    entry.identity = kIdentityOther;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      entry.kind = header->AceType == ACCESS_ALLOWED_ACE_TYPE ? kEntryAllow : kEntryDeny;
      entry.identity = IdentityOf(reinterpret_cast<PSID>(&plain->SidStart));
    } else {
      entry.kind = kEntryOther;
    }
  }
  LocalFree(descriptor);
  return 1;
}

// kProtectedFolderEntries as a security descriptor, owned by the
// administrators, its list protected from what the folder above passes on.
static_assert(kFileAllAccess == FILE_ALL_ACCESS, "FILE_ALL_ACCESS");
static_assert(kFileGenericRead == FILE_GENERIC_READ, "FILE_GENERIC_READ");
static_assert(kFileGenericExecute == FILE_GENERIC_EXECUTE, "FILE_GENERIC_EXECUTE");

struct ProtectedDescriptor {
  SECURITY_DESCRIPTOR descriptor;
  alignas(8) unsigned char accounts[kProtectedFolderEntryCount][SECURITY_MAX_SID_SIZE];
  alignas(8) unsigned char list[512];
};

static WELL_KNOWN_SID_TYPE SidTypeOf(int account) {
  switch (account) {
    case kAccountAdministrators: return WinBuiltinAdministratorsSid;
    case kAccountSystem: return WinLocalSystemSid;
    default: return WinBuiltinUsersSid;
  }
}

static bool MakeProtectedDescriptor(ProtectedDescriptor* d) {
  auto* list = reinterpret_cast<PACL>(d->list);
  if (!InitializeAcl(list, sizeof d->list, ACL_REVISION)) return false;
  PSID owner = nullptr;
  for (int i = 0; i < kProtectedFolderEntryCount; ++i) {
    const ProtectedFolderEntry& entry = kProtectedFolderEntries[i];
    DWORD size = SECURITY_MAX_SID_SIZE;
    if (!CreateWellKnownSid(SidTypeOf(entry.account), nullptr, d->accounts[i], &size) ||
        !AddAccessAllowedAceEx(list, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               entry.rights, d->accounts[i])) {
      return false;
    }
    if (entry.account == kAccountAdministrators) owner = d->accounts[i];
  }
  return owner != nullptr &&
         InitializeSecurityDescriptor(&d->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorOwner(&d->descriptor, owner, FALSE) &&
         SetSecurityDescriptorDacl(&d->descriptor, TRUE, list, FALSE) &&
         SetSecurityDescriptorControl(&d->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

static void* CreateProtectedFolder(void*, void* parent, const char* name, uint32_t access,
                                   uint32_t share) {
  ProtectedDescriptor protection;
  if (!MakeProtectedDescriptor(&protection)) return nullptr;
  return CreateWith(parent, name, access, share, kNtCreate, kNtDirectoryFile | kNtOpenReparsePoint,
                    &protection.descriptor);
}

static int List(void*, void* folder, void (*each)(void* context, const char* name, uint32_t),
                void* context) {
  constexpr ULONG kBufferSize = 16384;
  constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);  // STATUS_NO_MORE_FILES
  auto* buffer = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, kBufferSize));
  if (buffer == nullptr) return 0;
  int ended = 0;
  for (BOOLEAN restart = TRUE;; restart = FALSE) {
    IO_STATUS_BLOCK status = {};
    const NTSTATUS result = NtQueryDirectoryFile(static_cast<HANDLE>(folder), nullptr, nullptr,
                                                 nullptr, &status, buffer, kBufferSize,
                                                 FileDirectoryInformation, FALSE, nullptr, restart);
    if (result == kNoMoreFiles) ended = 1;
    if (!NT_SUCCESS(result)) break;
    for (ULONG at = 0;;) {
      const auto* item = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(buffer + at);
      const int length = static_cast<int>(item->FileNameLength / sizeof(WCHAR));
      char name[MAX_PATH];
      WCHAR back[MAX_PATH];
      const int n = WideCharToMultiByte(CP_ACP, 0, item->FileName, length, name, MAX_PATH - 1,
                                        nullptr, nullptr);
      const bool dots = (length == 1 && item->FileName[0] == L'.') ||
                        (length == 2 && item->FileName[0] == L'.' && item->FileName[1] == L'.');
      if (n > 0 && !dots && MultiByteToWideChar(CP_ACP, 0, name, n, back, MAX_PATH) == length &&
          std::memcmp(back, item->FileName, sizeof(WCHAR) * static_cast<size_t>(length)) == 0) {
        name[n] = '\0';
        each(context, name, item->FileAttributes);
      }
      if (item->NextEntryOffset == 0) break;
      at += item->NextEntryOffset;
    }
  }
  HeapFree(GetProcessHeap(), 0, buffer);
  return ended;
}

const NtFileCalls* SystemNtFileCalls() {
  static const NtFileCalls calls = {
      nullptr, Create,        Attributes, FinalPath,    Read,
      Write,   DeleteOnClose, Close,      ReadSecurity, CreateProtectedFolder,
      List};
  return &calls;
}

HeldFolderOps SystemHeldFolderOps() { return HeldFolderOpsOver(SystemNtFileCalls()); }
