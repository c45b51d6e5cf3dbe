// POSIX only: the port list under other roots than /dev and /sys, for the
// tests, which lay out a fake tree of both.
#pragma once

#include "link/port_list.h"

struct TtyRoots {
    const char* dev;     // "/dev"
    const char* sysfs;   // "/sys"
};

void ListTtyPorts(SerialPortList& out, const TtyRoots& roots);
