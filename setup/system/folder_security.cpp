// The administrators-only rule (see folder_security.h).
#include "setup/system/folder_security.h"

int IsAdministratorsOnly(const FolderSecurity* security) {
  if (security->owner != kIdentityAdministrators || !security->has_list || security->truncated ||
      security->entry_count < 0 || security->entry_count > kMaxFolderEntries) {
    return 0;
  }
  for (int i = 0; i < security->entry_count; ++i) {
    const FolderAccessEntry& entry = security->entries[i];
    if (entry.kind == kEntryDeny || (entry.rights & kChangeRights) == 0) continue;
    if (entry.kind != kEntryAllow || entry.identity == kIdentityOther) return 0;
  }
  return 1;
}

FolderSecurity ProtectedFolderSecurity() {
  FolderSecurity security = {};
  security.owner = kIdentityAdministrators;
  security.has_list = 1;
  security.entry_count = kProtectedFolderEntryCount;
  for (int i = 0; i < kProtectedFolderEntryCount; ++i) {
    const ProtectedFolderEntry& entry = kProtectedFolderEntries[i];
    const int identity = entry.account == kAccountUsers ? kIdentityOther : kIdentityAdministrators;
    security.entries[i] = {kEntryAllow, identity, entry.rights};
  }
  return security;
}
