// Program entry of Generator.
#include <windows.h>

#include "generator/app/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  return RunGenerator(instance, show);
}
