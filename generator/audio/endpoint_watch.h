// Tells the program when Windows changes its default render endpoint, so
// that a stream that plays the default can follow it.
//
// The watch runs on a thread of its own, which holds COM (multithreaded)
// and the system's notification registration for as long as it watches:
// the window's thread keeps no COM state for it.
#pragma once

#include <windows.h>

// Starts watching: each change of the default render endpoint (the
// console role) posts WM_COMMAND `command` to `window`. 1, or 0 when the
// system offers no notification (nothing is then told).
int StartEndpointWatch(HWND window, UINT command);

// Stops watching and waits for the watch thread to end.
void StopEndpointWatch();
