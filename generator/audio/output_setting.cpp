// The output choices in the registry: see output_setting.h.
#include "generator/audio/output_setting.h"

#include <windows.h>

#include <cstring>
#include <string>

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

// A REG_SZ value that fits `out` whole, or nothing.
static void ReadText(HKEY key, const char* name, char (&out)[kEndpointIdBytes]) {
  char text[kEndpointIdBytes + 1] = {0};  // one more: a longer text is not ours
  DWORD type = 0, size = sizeof text - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ && std::strlen(text) < sizeof out) {
    std::memcpy(out, text, std::strlen(text) + 1);
  }
}

// A text value of at most `capacity` bytes with its terminating zero.
static bool WriteText(HKEY key, const char* name, const char* text, size_t capacity) {
  const size_t length = strnlen(text, capacity - 1);
  std::string value(text, length);
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(length + 1)) == ERROR_SUCCESS;
}

OutputChoice ReadOutputSetting(bool* stored) {
  OutputChoice choice = {{0}, kDefaultOutputRate, kWidth16, 0, kInterfaceWave, {0}, {0}};
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
  const int64_t interface_kind = ReadDword(key, kOutputInterfaceValueName);
  *stored = named != ERROR_FILE_NOT_FOUND || rate != -1 || width != -1 || interface_kind != -1;
  if (IsOfferedInterface(static_cast<int32_t>(interface_kind)) &&
      interface_kind == static_cast<int32_t>(interface_kind)) {
    choice.interface_kind = static_cast<OutputInterface>(interface_kind);
  }
  ReadText(key, kOutputEndpointValueName, choice.endpoint);
  ReadText(key, kOutputEndpointNameValueName, choice.endpoint_name);
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
  const DWORD interface_kind = static_cast<DWORD>(choice.interface_kind);
  const bool written =
      WriteText(key, kOutputDeviceValueName, choice.device, sizeof choice.device) &&
      RegSetValueExA(key, kSampleRateValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate),
                     sizeof rate) == ERROR_SUCCESS &&
      RegSetValueExA(key, kSampleWidthValueName, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&width), sizeof width) == ERROR_SUCCESS &&
      RegSetValueExA(key, kOutputDevicePositionValueName, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&position), sizeof position) == ERROR_SUCCESS &&
      RegSetValueExA(key, kOutputInterfaceValueName, 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&interface_kind),
                     sizeof interface_kind) == ERROR_SUCCESS &&
      WriteText(key, kOutputEndpointValueName, choice.endpoint, sizeof choice.endpoint) &&
      WriteText(key, kOutputEndpointNameValueName, choice.endpoint_name,
                sizeof choice.endpoint_name);
  RegCloseKey(key);
  return written ? 1 : 0;
}
