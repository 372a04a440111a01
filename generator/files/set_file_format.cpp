// Current-set file layout and path: see set_file_format.h.
#include "generator/files/set_file_format.h"

#include <cstdio>
#include <cstring>

int BuildSetFilePath(const char* directory, char* out, size_t out_size) {
  if (out_size == 0) return 0;
  out[0] = '\0';
  const size_t length = std::strlen(directory);
  const bool has_separator = length > 0 && directory[length - 1] == '\\';
  const int written = std::snprintf(out, out_size, "%s%s%s", directory, has_separator ? "" : "\\",
                                    kSetFileName);
  if (written < 0 || static_cast<size_t>(written) >= out_size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int AcceptSetFile(const unsigned char* header, const unsigned char* body,
                  GeneratorSettings* settings) {
  if (std::memcmp(header, kSetFileIdentification, kSetFileHeaderBytes) != 0) return 0;
  std::memcpy(settings, body, kSetFileBodyBytes);
  settings->on = 0;
  return 1;
}
