// A planted fault for the import check: a program that imports a Windows 8
// function directly, so it would not start on Windows Vista or 7.
#define _WIN32_WINNT 0x0602
#include <windows.h>

int main() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return static_cast<int>(now.dwLowDateTime & 1);
}
