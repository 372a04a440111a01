#!/usr/bin/env python3
"""Consumes a WAV stream from standard input at its own byte rate, as a sound
card would: the ALSA file device of make bench's CPU measurement writes to
it, so the program under test plays in real time."""
import sys
import time


def main():
    stream = sys.stdin.buffer
    header = stream.read(44)
    rate = int.from_bytes(header[28:32], "little") if len(header) == 44 else 0
    rate = rate or 176400
    start = time.monotonic()
    taken = 0
    while True:
        chunk = stream.read1(16384)
        if not chunk:
            return
        taken += len(chunk)
        ahead = taken / rate - (time.monotonic() - start)
        if ahead > 0:
            time.sleep(ahead)


if __name__ == "__main__":
    main()
