// Waiting on a window thread: see message_wait.h.
#include "setup/system/message_wait.h"

DWORD WaitHandlingMessages(HANDLE handle, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (timeout_ms != INFINITE) {
      const DWORD waited = GetTickCount() - start;  // wraps safely
      left = waited >= timeout_ms ? 0 : timeout_ms - waited;
    }
    const DWORD woken =
        MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE | QS_PAINT);
    if (woken != WAIT_OBJECT_0 + 1) return woken;
    // The peek answers the sent messages itself; what it returns is a paint.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_SENDMESSAGE | PM_QS_PAINT)) {
      DispatchMessageA(&message);
    }
  }
}
