// A planted fault for the import check: a program that imports version.dll,
// which is no KnownDLL, as the elevated installer must not: the loader would
// look for it in the program's own folder first.
#include <windows.h>

int main() {
  DWORD handle = 0;
  return static_cast<int>(GetFileVersionInfoSizeA("kernel32.dll", &handle) & 1);
}
