// The panel's small "Options" window: the gate's sound and pause times,
// read from and written to the engine's pending settings.
#pragma once

#include <windows.h>

#include "ctl/qx2ctl.h"
#include "generator/engine/engine.h"

// The window's record, kept by its owner; zero-filled, then `engine` and
// `skin` (bitmap 550, owned by the application) set before the first open.
struct OptionsWindow {
  GeneratorEngine* engine;
  HBITMAP skin;
  HWND window;              // while open
  HGLOBAL template_memory;  // freed by the window when it goes
  WindowDragState drag;
};

// Opens the window owned by `parent`, or brings it to the top.
void OpenOptionsWindow(OptionsWindow* options, HWND parent);

// Repaints the open window from the engine's settings.
void RefreshOptionsWindow(const OptionsWindow* options);

// Destroys the open window.
void CloseOptionsWindow(OptionsWindow* options);
