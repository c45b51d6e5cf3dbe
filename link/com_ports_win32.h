// Windows only: the COM ports the registry's SERIALCOMM list holds, without
// what the system says of them. The port list (port_list.h) is built on it;
// the dialog asks it alone when it only needs to know whether the open port
// is still there, as that costs no SetupAPI walk.
#pragma once

#include "link/com_ports.h"

ComPortList ReadSerialComm();
