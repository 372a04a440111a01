// Who may change a folder: its owner and its access list, as the rule that
// the product folder is the administrators' alone needs them.
//
// The product folder below Program Files takes programs that the installer
// starts as administrator. An unelevated user who may write there, delete
// there or change its permissions could swap a program between its
// extraction and its start, or a folder for a link before the uninstall's
// removal walk. So a folder is trusted only when it is owned by the
// administrators (the Administrators group, SYSTEM or TrustedInstaller) and
// every entry of its access list that lets anyone else change it, or what is
// made in it, is absent. The Windows layer reads a handle's owner and list
// and says which identities are the administrators; the rule itself is
// portable and tested on a model.
#pragma once

#include <cstdint>

// Who a owner or an entry names, as far as the rule cares.
enum FolderIdentity : int {
  kIdentityOther = 0,
  kIdentityAdministrators = 1,  // Administrators, SYSTEM, TrustedInstaller
  kIdentityCreatorOwner = 2,    // CREATOR OWNER: whoever makes a file there, here the installer
};

enum FolderEntryKind : int {
  kEntryAllow = 0,  // an access-allowed entry
  kEntryDeny = 1,   // an access-denied entry: it only takes rights away
  kEntryOther = 2,  // any other kind (object, callback, conditional entries)
};

// The rights that change a folder or what is in it: writing data or
// sub-folders, attributes and extended attributes, deleting it or its
// children, its permissions and owner, and the generic forms that imply any
// of them.
constexpr uint32_t kChangeRights = 0x00000002 |  // FILE_ADD_FILE (FILE_WRITE_DATA)
                                   0x00000004 |  // FILE_ADD_SUBDIRECTORY (FILE_APPEND_DATA)
                                   0x00000010 |  // FILE_WRITE_EA
                                   0x00000040 |  // FILE_DELETE_CHILD
                                   0x00000100 |  // FILE_WRITE_ATTRIBUTES
                                   0x00010000 |  // DELETE
                                   0x00040000 |  // WRITE_DAC
                                   0x00080000 |  // WRITE_OWNER
                                   0x01000000 |  // ACCESS_SYSTEM_SECURITY
                                   0x02000000 |  // MAXIMUM_ALLOWED
                                   0x10000000 |  // GENERIC_ALL
                                   0x40000000;   // GENERIC_WRITE

struct FolderAccessEntry {
  int kind;      // FolderEntryKind
  int identity;  // FolderIdentity
  uint32_t rights;
};

constexpr int kMaxFolderEntries = 32;

struct FolderSecurity {
  int owner;     // FolderIdentity of the owner
  int has_list;  // 0: no access list at all, which lets everyone do everything
  int entry_count;
  int truncated;  // more entries than kMaxFolderEntries: not all could be looked at
  FolderAccessEntry entries[kMaxFolderEntries];
};

// 1 when only the administrators can change the folder or what is made in
// it: the owner is theirs, and no allowing entry (whether it applies to the
// folder itself or only to what inherits it) gives anyone else a change
// right. Denying entries are passed over; an entry of another kind that
// carries a change right refuses, as does a missing list.
int IsAdministratorsOnly(const FolderSecurity* security);

// The access masks of the protected list, by their names in the SDK
// (winnt.h), for code that can't include it; the Windows layer checks them.
constexpr uint32_t kFileAllAccess = 0x001F01FF;       // FILE_ALL_ACCESS
constexpr uint32_t kFileGenericRead = 0x00120089;     // FILE_GENERIC_READ
constexpr uint32_t kFileGenericExecute = 0x001200A0;  // FILE_GENERIC_EXECUTE

// The accounts the protected list names (well-known SIDs).
enum ProtectedAccount : int {
  kAccountAdministrators = 0,  // BUILTIN\Administrators, also the owner
  kAccountSystem = 1,          // NT AUTHORITY\SYSTEM
  kAccountUsers = 2,           // BUILTIN\Users
};

struct ProtectedFolderEntry {
  int account;  // ProtectedAccount
  uint32_t rights;
};

// What a folder that the installer makes gets: owned by the administrators,
// full control for them and for SYSTEM, reading and listing for the users,
// each inherited by what is made inside, and nothing inherited from the
// folder above. The one definition: the Windows layer builds the folder's
// descriptor from it, the rule's tests check ProtectedFolderSecurity.
constexpr ProtectedFolderEntry kProtectedFolderEntries[] = {
    {kAccountAdministrators, kFileAllAccess},
    {kAccountSystem, kFileAllAccess},
    {kAccountUsers, kFileGenericRead | kFileGenericExecute},
};
constexpr int kProtectedFolderEntryCount =
    static_cast<int>(sizeof kProtectedFolderEntries / sizeof kProtectedFolderEntries[0]);

// kProtectedFolderEntries as the rule sees them.
FolderSecurity ProtectedFolderSecurity();
