#include "tests/generator/wine_paths.h"

#include <windows.h>

std::string AudioCapturePath() {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA("AUDIO_CAPTURE", value, sizeof value);
  if (length == 0 || length >= sizeof value) return std::string();
  return WindowsPathOf(value);
}
