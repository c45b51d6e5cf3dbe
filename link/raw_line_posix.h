// A POSIX tty as the serial link runs it: raw, 115200 baud, 8 data bits, no
// parity, one stop bit. Shared by the serial port and the virtual device.
#pragma once

#include "wire/result.h"

// Software flow control (XON/XOFF) is never left on: the frames are binary
// and carry 0x11 and 0x13 as data, and a Linux tty starts with IXON set (a
// real USB adapter's does; a Windows COM port's DCB does not).
enum class FlowControl {
    Kept,   // hardware flow control (RTS/CTS) as the driver reports it (the port: Windows leaves it too)
    Off,    // none (the virtual device's end)
};

// `minBytes` is VMIN: 0 for reads that return at once with what has
// arrived, 1 for reads that wait for a byte. Fails with the call the system
// refused and its errno.
Result MakeRawLine(int fd, FlowControl flow, unsigned char minBytes);
