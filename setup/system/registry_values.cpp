// The installer's registry writers and reader: one key, one value, closed.
//
// The writers open the key and create it when it does not exist; the reader
// never creates one. The current user's keys belong to that user, who may
// have made one of them a registry link to a key of the machine's: they are
// opened by the walk of key_chain.h, a name at a time, never following a
// link and refusing one. REG_SZ values are written with
// their NUL, as the registry's contract counts them; the reader does not
// count on a stored NUL (others write values too) and ends the text itself.
#include "setup/system/registry_values.h"

#include <windows.h>

#include <cstring>

#include "setup/system/key_chain.h"
#include "setup/log/run_log.h"

// Opens root\sub_key, or creates it. Null on failure.
static HKEY OpenOrCreate(HKEY root, const char* sub_key) {
  HKEY key = nullptr;
  if (RegOpenKeyA(root, sub_key, &key) == ERROR_SUCCESS) return key;
  if (RegCreateKeyA(root, sub_key, &key) == ERROR_SUCCESS) return key;
  return nullptr;
}

// 1 when `key`, opened as itself, is a registry link.
static bool IsLinkKey(HKEY key) {
  DWORD type = 0;
  return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

// The registry calls of the key walk: every open and create as itself
// (REG_OPTION_OPEN_LINK), with `access` for the key asked for and, on the
// way, only what the next step needs.
struct UserKeyAccess {
  REGSAM last;
  REGSAM on_the_way;
};

static REGSAM StepAccess(void* user, int last) {
  const UserKeyAccess* access = static_cast<const UserKeyAccess*>(user);
  return (last ? access->last : access->on_the_way) | KEY_QUERY_VALUE;
}

static void* OpenAsItself(void* user, void* parent, const char* name, int last, int* missing) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(static_cast<HKEY>(parent), name, REG_OPTION_OPEN_LINK,
                                    StepAccess(user, last), &key);
  *missing = status == ERROR_FILE_NOT_FOUND;
  return status == ERROR_SUCCESS ? key : nullptr;
}

static void* CreateAsItself(void* user, void* parent, const char* name, int last) {
  HKEY key = nullptr;
  const LONG status = RegCreateKeyExA(static_cast<HKEY>(parent), name, 0, nullptr,
                                      REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK,
                                      StepAccess(user, last), nullptr, &key, nullptr);
  return status == ERROR_SUCCESS ? key : nullptr;
}

static int IsLink(void*, void* key) { return IsLinkKey(static_cast<HKEY>(key)) ? 1 : 0; }

static void CloseKey(void*, void* key) { RegCloseKey(static_cast<HKEY>(key)); }

// Opens HKEY_CURRENT_USER\sub_key with `access` (key_chain.h), making the
// names that are missing with `create`. Null on failure or at a link.
static HKEY OpenUserKey(const char* sub_key, REGSAM access, bool create) {
  UserKeyAccess steps = {access, create ? static_cast<REGSAM>(KEY_CREATE_SUB_KEY) : 0};
  KeyChainOps ops = {};
  ops.user = &steps;
  ops.open = OpenAsItself;
  ops.create = CreateAsItself;
  ops.is_link = IsLink;
  ops.close = CloseKey;
  return static_cast<HKEY>(OpenKeyChain(HKEY_CURRENT_USER, sub_key, create ? 1 : 0, &ops));
}

int WriteMachineString(const char* sub_key, const char* name, const char* text) {
  HKEY key = OpenOrCreate(HKEY_LOCAL_MACHINE, sub_key);
  if (key == nullptr) return 0;
  const LONG status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                     static_cast<DWORD>(std::strlen(text) + 1));
  RegCloseKey(key);
  LogRun("registry: HKLM\\%s %s = \"%s\"%s", sub_key, name, text,
         status == ERROR_SUCCESS ? "" : " (not written)");
  return status == ERROR_SUCCESS ? 1 : 0;
}

// Sets the DWORD value in the opened `key` (null: it could not be opened),
// closes the key and logs the write under `root`. 1, or 0.
static int SetDwordAndClose(HKEY key, const char* root, const char* sub_key, const char* name,
                            DWORD value) {
  if (key == nullptr) return 0;
  const LONG status =
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  LogRun("registry: %s\\%s %s = %lu%s", root, sub_key, name, static_cast<unsigned long>(value),
         status == ERROR_SUCCESS ? "" : " (not written)");
  return status == ERROR_SUCCESS ? 1 : 0;
}

int WriteMachineDword(const char* sub_key, const char* name, DWORD value) {
  return SetDwordAndClose(OpenOrCreate(HKEY_LOCAL_MACHINE, sub_key), "HKLM", sub_key, name, value);
}

int WriteUserDword(const char* sub_key, const char* name, DWORD value) {
  return SetDwordAndClose(OpenUserKey(sub_key, KEY_SET_VALUE, true), "HKCU", sub_key, name, value);
}

int ReadUserString(const char* sub_key, const char* name, char* buffer, size_t buffer_size) {
  if (buffer_size == 0) return 0;
  buffer[0] = '\0';
  HKEY key = OpenUserKey(sub_key, KEY_QUERY_VALUE, false);
  if (key == nullptr) return 0;
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
