// Directory records, the delivered entry names and the path rules.
//
// The name filter is the installer's only defence against a package that tries
// to write outside the target folder, so it rejects more than the dangerous
// cases strictly need: anything that is not a plain relative path made of
// ordinary names is refused (see IsSafeEntryName in the header).
#include "setup/package_format.h"

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

static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows maps these names to devices in every folder, whatever follows the
// first dot, and drops blanks before it; COM and LPT take the digits 0 to 9
// and the superscript digits of code page 1252.
static bool IsDeviceName(const char* component, size_t length) {
  size_t base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  char upper[8];
  if (base == 0 || base >= sizeof upper) return false;
  for (size_t i = 0; i < base; ++i) upper[i] = Upper(component[i]);
  upper[base] = '\0';
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (std::strcmp(upper, device) == 0) return true;
  }
  if (base != 4 || (std::strncmp(upper, "COM", 3) != 0 && std::strncmp(upper, "LPT", 3) != 0)) {
    return false;
  }
  const unsigned char digit = static_cast<unsigned char>(upper[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// One component of a path, `length` characters without separators: 1 when
// Windows opens exactly this name in its folder. Empty names, names of dots
// and blanks only ("..", "...", ". "), a ':' (a drive or a stream), control
// characters, a trailing '.' or blank (Windows drops them: "readme.txt."
// opens "readme.txt") and device names are refused.
static bool IsPlainComponent(const char* component, size_t length) {
  if (length == 0) return false;
  bool dots_and_blanks_only = true;
  for (size_t i = 0; i < length; ++i) {
    const char c = component[i];
    if (c == ':' || IsSeparator(c) || static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '.' && c != ' ') dots_and_blanks_only = false;
  }
  const char last = component[length - 1];
  if (dots_and_blanks_only || last == '.' || last == ' ') return false;
  return !IsDeviceName(component, length);
}

int IsPlainFileName(const char* name) {
  return name != nullptr && IsPlainComponent(name, std::strlen(name)) ? 1 : 0;
}

int IsSafeEntryName(const char name[kPackageNameSize]) {
  const void* end = std::memchr(name, '\0', kPackageNameSize);
  if (end == nullptr) return 0;
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - name);
  size_t start = 0;  // first character of the current component
  for (size_t i = 0; i <= length; ++i) {
    if (i < length && !IsSeparator(name[i])) continue;
    if (!IsPlainComponent(name + start, i - start)) return 0;  // also an empty or leading one
    start = i + 1;
  }
  return 1;
}

int JoinPath(char* out, size_t out_size, const char* folder, const char* name) {
  if (out_size == 0) return 0;
  const size_t folder_length = std::strlen(folder);
  const size_t name_length = std::strlen(name);
  const bool needs_separator = folder_length == 0 || folder[folder_length - 1] != '\\';
  const size_t total = folder_length + (needs_separator ? 1 : 0) + name_length;
  if (total >= out_size) {
    out[0] = '\0';
    return 0;
  }
  // memmove: the installer appends to a folder in place (out == folder).
  std::memmove(out + folder_length + (needs_separator ? 1 : 0), name, name_length + 1);
  std::memmove(out, folder, folder_length);
  if (needs_separator) out[folder_length] = '\\';
  return 1;
}
