// Windows only: what SetupAPI says of the listed COM ports. The port list
// (port_list_win32.cpp) asks it once it has the ports from SERIALCOMM.
#pragma once

#include "link/port_list.h"

// Gives each port of `list` the identity of the present Ports-class device
// whose PortName is the port's COM number, and an undescribed identity to a
// port no device record names. The identities are written in place: the
// list is large and no copy of it is made.
Result DescribeComPorts(SerialPortList& list);
