// Waits in the Wine tests, measured by the clock.
//
// A test waits until what it waits for has happened or a time limit has
// passed on the clock, never for a number of turns of a loop: a turn that
// waits for messages ends early whenever input reaches the thread, and a
// wait that fails ends at once, so a limit counted in turns can shrink to
// nothing. Each wait says whether it was met, so that a test that waited in
// vain says so instead of reading what a half-done run left.
#pragma once

#include <windows.h>

#include <string>

// Milliseconds on the clock since `start_ms` (a GetTickCount64 reading).
ULONGLONG MsSince(ULONGLONG start_ms);

// Asks `ready` every `step_ms` until it answers true or `limit_ms` have
// passed; true when it did (it is asked once more at the limit).
template <typename Ready>
bool PollUntil(DWORD limit_ms, DWORD step_ms, Ready ready) {
  const ULONGLONG start = GetTickCount64();
  while (!ready()) {
    if (MsSince(start) >= limit_ms) return ready();
    Sleep(step_ms);
  }
  return true;
}

// Dispatches this thread's messages for `ms` on the clock.
void PumpMessagesFor(DWORD ms);

// How a process wait ended.
struct ProcessEnd {
  bool ended = false;              // the process ended within the limit
  DWORD exit_code = STILL_ACTIVE;  // its exit code once ended
  ULONGLONG waited_ms = 0;         // on the clock
  int turns = 0;                   // waits, each ended by the process, input or its slice
  int input_wakes = 0;             // of them, those that input ended
  int failed_waits = 0;            // of them, those that failed (GetLastError in `error`)
  DWORD error = 0;
};

// Waits up to `limit_ms` on the clock for `process` to end, dispatching this
// thread's messages meanwhile and calling `each_turn(data)` (may be null)
// after every wait. An end is believed only when the process's exit code
// says it ended.
ProcessEnd WaitForProcessEnd(HANDLE process, DWORD limit_ms, void (*each_turn)(void*) = nullptr,
                             void* data = nullptr);

// "ended with exit code N after M ms", or what the wait saw when it did not
// end in time, for a test's failure message.
std::string DescribeProcessEnd(const ProcessEnd& end);
