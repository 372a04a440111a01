// Waits measured by the clock: see test_waits.h.
#include "tests/wine/test_waits.h"

ULONGLONG MsSince(ULONGLONG start_ms) { return GetTickCount64() - start_ms; }

void PumpMessagesFor(DWORD ms) {
  const ULONGLONG start = GetTickCount64();
  for (ULONGLONG waited = 0; waited < ms; waited = MsSince(start)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms - waited), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

ProcessEnd WaitForProcessEnd(HANDLE process, DWORD limit_ms, void (*each_turn)(void*), void* data) {
  constexpr DWORD kSliceMs = 100;  // how often `each_turn` runs at the least
  ProcessEnd end;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD code = STILL_ACTIVE;
    if (GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) {
      end.ended = true;
      end.exit_code = code;
      break;
    }
    // A program may end with STILL_ACTIVE as its code: its handle says so.
    if (code == STILL_ACTIVE && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
      end.ended = true;
      end.exit_code = code;
      break;
    }
    const ULONGLONG waited = MsSince(start);
    if (waited >= limit_ms) break;
    const DWORD slice =
        static_cast<DWORD>(limit_ms - waited < kSliceMs ? limit_ms - waited : kSliceMs);
    ++end.turns;
    const DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, slice, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0 + 1) ++end.input_wakes;
    if (woken == WAIT_FAILED) {
      ++end.failed_waits;
      end.error = GetLastError();
      // Without a working wait the slice is slept, not spun.
      WaitForSingleObject(process, slice);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (each_turn != nullptr) each_turn(data);
  }
  end.waited_ms = MsSince(start);
  return end;
}

std::string DescribeProcessEnd(const ProcessEnd& end) {
  std::string text;
  if (end.ended) {
    text = "ended with exit code " + std::to_string(end.exit_code);
  } else {
    text = "was still running";
  }
  text += " after " + std::to_string(end.waited_ms) + " ms (" + std::to_string(end.turns) +
          " waits, " + std::to_string(end.input_wakes) + " ended by input, " +
          std::to_string(end.failed_waits) + " failed";
  if (end.failed_waits > 0) text += ", error " + std::to_string(end.error);
  return text + ")";
}
