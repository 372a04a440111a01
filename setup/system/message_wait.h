// Waiting on a window thread without stopping its windows.
#pragma once

#include <windows.h>

// Waits until `handle` is signalled or `timeout_ms` (INFINITE: no limit) has
// passed, meanwhile answering what other threads and programs send to this
// thread's windows (a broadcast that waits for every window) and repainting
// them. Input and posted messages wait for the caller's own loop, so nothing
// a click would start can start meanwhile. WAIT_OBJECT_0, WAIT_TIMEOUT or
// WAIT_FAILED.
DWORD WaitHandlingMessages(HANDLE handle, DWORD timeout_ms);
