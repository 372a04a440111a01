// The installer's registry writers and reader: one key, one value, closed.
//
// The writers open the key and create it when it does not exist; the reader
// never creates one. REG_SZ values are written with the text's length without
// its NUL, as the installer has always stored them; the reader therefore does
// not count on a stored NUL and ends the text itself.
#include <windows.h>

#include <cstring>

#include "setup/system/registry_values.h"

// Opens root\sub_key, or creates it. Null on failure.
static HKEY OpenOrCreate(HKEY root, const char* sub_key) {
  HKEY key = nullptr;
  if (RegOpenKeyA(root, sub_key, &key) == ERROR_SUCCESS) return key;
  if (RegCreateKeyA(root, sub_key, &key) == ERROR_SUCCESS) return key;
  return nullptr;
}

int WriteMachineString(const char* sub_key, const char* name, const char* text) {
  HKEY key = OpenOrCreate(HKEY_LOCAL_MACHINE, sub_key);
  if (key == nullptr) return 0;
  const LONG status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                     static_cast<DWORD>(std::strlen(text)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 1 : 0;
}

int WriteUserDword(const char* sub_key, const char* name, DWORD value) {
  HKEY key = OpenOrCreate(HKEY_CURRENT_USER, sub_key);
  if (key == nullptr) return 0;
  const LONG status =
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 1 : 0;
}

int ReadUserString(const char* sub_key, const char* name, char* buffer, size_t buffer_size) {
  if (buffer_size == 0) return 0;
  buffer[0] = '\0';
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, sub_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return 0;
  }
  char value[4096];
  DWORD type = 0;
  DWORD size = sizeof value;
  const LONG status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return 0;
  // The text ends at its first NUL or where the data ends; it must fit the
  // caller's buffer and the 4,050 bytes the installer ever copies, with its NUL.
  size_t length = 0;
  while (length < size && value[length] != '\0') ++length;
  const size_t room = buffer_size < 4050 ? buffer_size : 4050;
  if (length + 1 > room) return 0;
  std::memcpy(buffer, value, length);
  buffer[length] = '\0';
  return 1;
}
