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
  constexpr uint32_t kFullControl = 0x001F01FF;  // FILE_ALL_ACCESS
  constexpr uint32_t kReadAndList = 0x001200A9;  // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
  FolderSecurity security = {};
  security.owner = kIdentityAdministrators;
  security.has_list = 1;
  security.entry_count = 3;
  security.entries[0] = {kEntryAllow, kIdentityAdministrators, kFullControl};  // Administrators
  security.entries[1] = {kEntryAllow, kIdentityAdministrators, kFullControl};  // SYSTEM
  security.entries[2] = {kEntryAllow, kIdentityOther, kReadAndList};           // Users
  return security;
}
