// The output choices in the registry: see output_setting.h.
#include "generator/audio/output_setting.h"

#include <windows.h>

#include <cstring>

#include "generator/audio/latency_setting.h"

// A REG_DWORD value, or -1 when it is missing or not a DWORD.
static int64_t ReadDword(HKEY key, const char* name) {
  DWORD value = 0, type = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return -1;
  }
  return value;
}

OutputChoice ReadOutputSetting(bool* stored) {
  OutputChoice choice = {{0}, kDefaultOutputRate, kWidth16, 0};
  *stored = false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kGeneratorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return choice;
  }
  char name[kDeviceNameBytes + 1] = {0};  // one more: a longer stored name is no device's
  DWORD type = 0, size = sizeof name - 1;
  const LONG named = RegQueryValueExA(key, kOutputDeviceValueName, nullptr, &type,
                                     reinterpret_cast<BYTE*>(name), &size);
  if (named == ERROR_SUCCESS && type == REG_SZ && std::strlen(name) < sizeof choice.device) {
    std::memcpy(choice.device, name, std::strlen(name) + 1);
  }
  const int64_t rate = ReadDword(key, kSampleRateValueName);
  const int64_t width = ReadDword(key, kSampleWidthValueName);
  const int64_t position = ReadDword(key, kOutputDevicePositionValueName);
  *stored = named != ERROR_FILE_NOT_FOUND || rate != -1 || width != -1;
  if (IsOfferedRate(static_cast<int32_t>(rate)) && rate == static_cast<int32_t>(rate)) {
    choice.rate = static_cast<int32_t>(rate);
  }
  if (IsOfferedWidth(static_cast<int32_t>(width)) && width == static_cast<int32_t>(width)) {
    choice.width = static_cast<OutputWidth>(width);
  }
  if (position >= 1 && position <= INT32_MAX) {
    choice.device_position = static_cast<int32_t>(position);
  }
  RegCloseKey(key);
  return choice;
}

int WriteOutputSetting(const OutputChoice& choice) {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kGeneratorKey, &key) != ERROR_SUCCESS &&
      RegCreateKeyA(HKEY_CURRENT_USER, kGeneratorKey, &key) != ERROR_SUCCESS) {
    return 0;
  }
  const DWORD rate = static_cast<DWORD>(choice.rate);
  const DWORD width = static_cast<DWORD>(choice.width);
  const DWORD position =
      static_cast<DWORD>(choice.device_position > 0 ? choice.device_position : 0);
  const DWORD name_bytes = static_cast<DWORD>(strnlen(choice.device, sizeof choice.device - 1) + 1);
  char name[kDeviceNameBytes];
  std::memcpy(name, choice.device, name_bytes - 1);
  name[name_bytes - 1] = '\0';
  const bool written =
      RegSetValueExA(key, kOutputDeviceValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                     name_bytes) == ERROR_SUCCESS &&
      RegSetValueExA(key, kSampleRateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate),
                     sizeof rate) == ERROR_SUCCESS &&
      RegSetValueExA(key, kSampleWidthValueName, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&width), sizeof width) == ERROR_SUCCESS &&
      RegSetValueExA(key, kOutputDevicePositionValueName, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&position), sizeof position) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written ? 1 : 0;
}
