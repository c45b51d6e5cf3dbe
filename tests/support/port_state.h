// What the tests ask of a serial port: whether it is open (a handle a reader
// would borrow) and whether an opening left it open.
#pragma once

#include "link/serial_port.h"

inline bool PortIsOpen(const SerialPort& port) { return port.handle.load() != NoPort; }
inline bool Opened(SerialPort& port, const char* path) { return PortOpened(OpenPort(port, path)); }
