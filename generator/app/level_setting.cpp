// The level's unit and the calibrations in the registry: see level_setting.h.
#include "generator/app/level_setting.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "generator/audio/latency_setting.h"

LevelUnit ReadLevelUnit() {
  DWORD value = 0, type = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kGeneratorKey, kLevelUnitValueName, RRF_RT_ANY, &type, &value,
                   &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value) {
    return kLevelDbfs;
  }
  return LevelUnitFromStored(value);
}

int WriteLevelUnit(LevelUnit unit) {
  const DWORD value = static_cast<DWORD>(unit);
  return RegSetKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kLevelUnitValueName, REG_DWORD, &value,
                         sizeof value) == ERROR_SUCCESS
             ? 1
             : 0;
}

void OutputLevelName(int interface_kind, const char* device, char* out, size_t size) {
  std::snprintf(out, size, "%d|%s", interface_kind, device);
}

double ReadFullScale(const char* name) {
  char text[32] = {0};
  DWORD type = 0, size = sizeof text - 1;  // room for a zero the value may lack
  if (RegGetValueA(HKEY_CURRENT_USER, kOutputLevelsKey, name, RRF_RT_REG_SZ | RRF_NOEXPAND, &type,
                   text, &size) != ERROR_SUCCESS) {
    return 0.0;
  }
  double volts = 0.0;
  return ParseFullScale(text, &volts) ? volts : 0.0;
}

int WriteFullScale(const char* name, double volts) {
  char text[32];
  FormatFullScale(volts, text, sizeof text);
  return RegSetKeyValueA(HKEY_CURRENT_USER, kOutputLevelsKey, name, REG_SZ, text,
                         static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS
             ? 1
             : 0;
}
