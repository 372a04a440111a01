// A module that only carries a resource RCDATA 100 for the package tests,
// which load it and point the installer context's module handle at it. Each
// load maps a fresh image, so every test starts from an enciphered package.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
