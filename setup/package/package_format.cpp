// Directory records, the delivered entry names and the entries' name rule.
//
// The name filter is the installer's only defence against a package that tries
// to write outside the target folder, so it rejects more than the dangerous
// cases strictly need: anything that is not a plain relative path made of
// ordinary names is refused (see IsSafeEntryName in the header).
#include "setup/package/package_format.h"

#include "setup/paths/path_text.h"

#include <cstring>

const char* const kPackageEntryNames[kPackageEntryCount] = {
    "pin_in.ico",
    "pin_out.ico",
    "tarnwellaudio_kxbmvd_vista.cat",
    "tarnwellaudio_kxbmvd_vista.sys",
    "tarnwellaudio_kxbmvd_win7.cat",
    "tarnwellaudio_kxbmvd_win7.sys",
    "tarnwellaudio_kxbmvd_xp.cat",
    "tarnwellaudio_kxbmvd_xp.sys",
    "tarnwellaudio_kxbmvd64_vista.cat",
    "tarnwellaudio_kxbmvd64_vista.sys",
    "tarnwellaudio_kxbmvd64_win7.cat",
    "tarnwellaudio_kxbmvd64_win7.sys",
    "QUILLAN_ControlPanel.exe",
    "QUILLAN_Setup.exe",
    "QUILLAN_Setup_x64.exe",
    "QXkxbmvd_vista.inf",
    "QXkxbmvd_win7.inf",
    "QXkxbmvd_xp.inf",
    "QXkxbmvd64_vista.inf",
    "QXkxbmvd64_win7.inf",
    "brindlemoor.exe",
    "readme.txt",
    "kxbm_asiodriver.dll",
    "kxbm_asiodriver64.dll",
    "qxregsvr64.exe",
};

static uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

static void WriteLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void LoadPackageEntry(const uint8_t* directory, int index, PackageEntry* entry) {
  const uint8_t* record = directory + static_cast<size_t>(index) * kPackageEntrySize;
  std::memcpy(entry->name, record, kPackageNameSize);
  entry->offset = ReadLe32(record + offsetof(PackageEntry, offset));
  entry->size = ReadLe32(record + offsetof(PackageEntry, size));
  std::memcpy(entry->digest, record + offsetof(PackageEntry, digest), sizeof entry->digest);
  std::memcpy(entry->reserved, record + offsetof(PackageEntry, reserved), sizeof entry->reserved);
}

void StorePackageEntry(uint8_t* directory, int index, const PackageEntry* entry) {
  uint8_t* record = directory + static_cast<size_t>(index) * kPackageEntrySize;
  std::memcpy(record, entry->name, kPackageNameSize);
  WriteLe32(record + offsetof(PackageEntry, offset), entry->offset);
  WriteLe32(record + offsetof(PackageEntry, size), entry->size);
  std::memcpy(record + offsetof(PackageEntry, digest), entry->digest, sizeof entry->digest);
  std::memcpy(record + offsetof(PackageEntry, reserved), entry->reserved, sizeof entry->reserved);
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A component of the shape of a short 8.3 name with a tilde ("BRINDL~1.EXE",
// "README~12"): Windows may open another file of a long name under it, and
// removal counts on one name being one file.
static bool LooksLikeShortName(const char* component, size_t length) {
  size_t dot = length;
  for (size_t i = length; i-- > 0;) {
    if (component[i] == '.') {
      dot = i;
      break;
    }
  }
  const size_t extension = dot < length ? length - dot - 1 : 0;
  if (dot == 0 || dot > 8 || extension > 3) return false;
  size_t tilde = dot;
  for (size_t i = 0; i < dot; ++i) {
    if (component[i] == '~') tilde = i;
  }
  if (tilde == 0 || tilde == dot || tilde + 1 == dot) return false;
  for (size_t i = tilde + 1; i < dot; ++i) {
    if (component[i] < '0' || component[i] > '9') return false;
  }
  return true;
}

int IsSafeEntryName(const char name[kPackageNameSize]) {
  const void* end = std::memchr(name, '\0', kPackageNameSize);
  if (end == nullptr) return 0;
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - name);
  size_t start = 0;  // first character of the current component
  for (size_t i = 0; i <= length; ++i) {
    if (i < length && !IsSeparator(name[i])) continue;
    if (!IsPlainPathComponent(name + start, i - start) ||
        LooksLikeShortName(name + start, i - start)) {
      return 0;
    }  // also an empty or leading one
    start = i + 1;
  }
  return 1;
}

static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int SameEntryName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const char x = *a == '/' ? '\\' : Upper(*a);
    const char y = *b == '/' ? '\\' : Upper(*b);
    if (x != y) return 0;
    if (x == '\0') return 1;
  }
}
