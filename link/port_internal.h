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
