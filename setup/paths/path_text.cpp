// Path texts: joining, and which names Windows opens as they are written.
//
// The name rule is the installer's only defence against a package or a
// folder listing that names something else than it says, so it refuses more
// than the dangerous cases strictly need (see path_text.h).
#include "setup/paths/path_text.h"

#include <cstring>

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

int IsPlainPathComponent(const char* component, size_t length) {
  if (length == 0) return 0;
  bool dots_and_blanks_only = true;
  for (size_t i = 0; i < length; ++i) {
    const char c = component[i];
    if (c == ':' || IsSeparator(c) || static_cast<unsigned char>(c) < 0x20) return 0;
    if (c != '.' && c != ' ') dots_and_blanks_only = false;
  }
  const char last = component[length - 1];
  if (dots_and_blanks_only || last == '.' || last == ' ') return 0;
  return IsDeviceName(component, length) ? 0 : 1;
}

int IsPlainFileName(const char* name) {
  return name != nullptr && IsPlainPathComponent(name, std::strlen(name));
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

const char* NextSubPathName(const char* at, char* name, size_t name_size) {
  const char* end = std::strchr(at, '\\');
  const size_t length = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
  if (length == 0 || length >= name_size) return nullptr;
  std::memcpy(name, at, length);
  name[length] = '\0';
  return end != nullptr ? end + 1 : at + length;
}

static char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int IsInsideFolder(const char* path, const char* folder) {
  size_t length = std::strlen(folder);
  while (length > 0 && folder[length - 1] == '\\') --length;
  if (length == 0) return 0;
  for (size_t i = 0; i < length; ++i) {
    if (LowerAscii(path[i]) != LowerAscii(folder[i])) return 0;  // a shorter path ends here too
  }
  if (path[length] != '\\' || path[length + 1] == '\0') return 0;
  for (const char* at = path + length + 1;;) {
    const char* end = std::strchr(at, '\\');
    const size_t part = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
    if (part == 0 && end != nullptr) return 0;  // "\\" inside
    if ((part == 1 && at[0] == '.') || (part == 2 && at[0] == '.' && at[1] == '.')) return 0;
    if (end == nullptr) return 1;
    at = end + 1;
  }
}
