// The latency setting in the registry: see latency_setting.h.
#include "generator/audio/latency_setting.h"

#include <windows.h>

#include <cstring>

#include "generator/audio/wave_format.h"

float ReadLatencySetting(float fallback) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kGeneratorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return fallback;
  }
  BYTE data[4];
  DWORD type = 0;
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExA(key, kLatencyValueName, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_BINARY || size != sizeof data) return fallback;
  float latency;
  std::memcpy(&latency, data, sizeof latency);
  return IsAcceptedLatency(latency) ? latency : fallback;
}

int WriteLatencySetting(float latency_s) {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kGeneratorKey, &key) != ERROR_SUCCESS &&
      RegCreateKeyA(HKEY_CURRENT_USER, kGeneratorKey, &key) != ERROR_SUCCESS) {
    return 0;
  }
  const LONG result = RegSetValueExA(key, kLatencyValueName, 0, REG_BINARY,
                                     reinterpret_cast<const BYTE*>(&latency_s), sizeof latency_s);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 1 : 0;
}
