// The port handle's own half, for the platform ports alone (the owner's
// thread): makes an opened and configured handle the current one, counting
// an opening and waking a reader that waits for a port; reads it for a
// write; takes it away from everyone, returning what it was; and tells
// whether a borrow taken before TakePort is still out, which ClosePort
// waits for before releasing. port_borrow.cpp keeps them beside the borrow.
#pragma once

#include "link/serial_port.h"

void PublishPort(SerialPort& port, intptr_t handle);
intptr_t CurrentPort(const SerialPort& port);
intptr_t TakePort(SerialPort& port);
bool PortStillBorrowed(const SerialPort& port);

// Each platform's own half of the port (serial_port_win32.cpp,
// serial_port_posix.cpp); serial_port.cpp holds what both share: making the
// port, the checks before an opening, and the close wait.
Result MakePlatformPort(SerialPort& port);   // POSIX: the closing pipe
void DestroyPlatformPort(SerialPort& port);
// Opens and configures `path` (never null; no port is open), then publishes it.
Result OpenPlatformPort(SerialPort& port, const char* path);
// After TakePort: stops the line's traffic on the taken `handle`, once.
void QuietPlatformPort(intptr_t handle);
// Ends whatever the reader may be waiting in on the taken `handle`. Called
// again each round of the close wait: a wait or read the reader started just
// before the swap may begin after an earlier nudge.
void NudgeReader(SerialPort& port, intptr_t handle);
// Every borrow is back: releases the handle.
void ReleasePlatformPort(SerialPort& port, intptr_t handle);
