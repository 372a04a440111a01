// The one-line usage error: see usage_error.h.
#include "tools/usage_error.h"

#include <cstdarg>
#include <cstdio>

int UsageError(const char* program, const char* format, ...) {
  std::fprintf(stderr, "%s: ", program);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fprintf(stderr, " (see %s --help)\n", program);
  return 2;
}
