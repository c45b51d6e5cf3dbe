#!/usr/bin/python3
"""The latency peer of make bench: a plain python3-serial reader.

Reads COUNT heartbeat replies (9 bytes each) from the serial device PATH and
prints, for each, the monotonic clock in nanoseconds at which it was whole
(-1 for bytes that are not a reply's start). Prints "ready" once the port is
open.   usage: serial_peer.py PATH COUNT
"""
import sys
import time

import serial

port = serial.Serial(sys.argv[1], 115200, timeout=None)
print("ready", flush=True)
for _ in range(int(sys.argv[2])):
    frame = port.read(9)
    now = time.monotonic_ns()
    ok = len(frame) == 9 and frame[0] == 0x55 and frame[1] == 0xAA
    print(now if ok else -1, flush=True)
