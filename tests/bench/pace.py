#!/usr/bin/env python3
"""Consumes a WAV stream from standard input at its own byte rate, as a sound
card would: an ALSA file device writes to it (scripts/alsa-capture.conf), so
the program under test plays in real time.

    pace.py [COPY]

With COPY, what it consumes is also written there, header and all, flushed
as it goes, so that a test reads what the device played while it plays.
The device starts a pacer when it is set up and waits for it to end when it
is closed, so each set-up starts the copy afresh after the last one is
whole.

It takes 5 ms of sound at a time, and a pacer that was held up (a busy
machine) goes on from where it is instead of catching up: a sound card never
takes more than its rate, and a catch-up would empty the player's buffer in
one gulp, which no card does."""
import sys
import time


def main():
    stream = sys.stdin.buffer
    copy = open(sys.argv[1], "wb") if len(sys.argv) > 1 else None
    header = stream.read(44)
    if copy:
        copy.write(header)
        copy.flush()
    rate = int.from_bytes(header[28:32], "little") if len(header) == 44 else 0
    rate = rate or 176400
    block = max(4, rate // 200 // 4 * 4)
    start = time.monotonic()
    taken = 0
    while True:
        chunk = stream.read1(block)
        if not chunk:
            return
        if copy:
            copy.write(chunk)
            copy.flush()
        taken += len(chunk)
        ahead = taken / rate - (time.monotonic() - start)
        if ahead > 0:
            time.sleep(ahead)
        elif ahead < -0.005:
            start = time.monotonic() - taken / rate  # late: no catching up


if __name__ == "__main__":
    main()
