// POSIX only: the identity of one tty as sysfs tells it. The port list
// (port_list_posix.cpp) asks it for each port it finds; the tests give it a
// fake tree.
#pragma once

#include "link/port_identity.h"

// The identity of tty `ttyName` ("ttyUSB0") as sysfs under `sysfsRoot`
// tells it ("/sys" in the programs).
PortIdentity ReadTtyIdentity(const char* sysfsRoot, const char* ttyName);
