// The entry the stand-in window programs share: one top-level window that
// shows a line or two of text, and the message loop until it is closed.
#pragma once

#include <windows.h>

struct TextWindowSpec {
  const char* class_name;
  const char* title;
  DWORD style;
  int width, height;
  int background;  // a system colour index, such as COLOR_WINDOW
  const char* text;
  UINT text_format;  // DrawTextA's format flags
};

// Registers the class, shows the window with `show` and runs the message
// loop. 0 when the window was closed; 1 when it could not be made.
int RunTextWindow(HINSTANCE instance, int show, const TextWindowSpec* spec);
