// The serial ports of this machine, the path a port name is opened by, and
// an open failure in words.
#pragma once

#include <string>
#include <vector>

#include "link/serial_port.h"

struct PortEntry {
    std::string port;    // what -p takes: COM3, /dev/ttyUSB0
    std::string alias;   // Linux: its /dev/serial/by-id name, if any
    bool bluetooth = false;   // Windows: a Bluetooth serial port
};

// The ports this machine has, found without opening any on Windows (the
// system's list); on Linux the usual serial device names.
std::vector<PortEntry> ListPorts();

// Windows: "COM3" -> "\\.\COM3" (a name that already is a device path is
// kept); Linux: the path itself.
std::string DevicePathOf(const std::string& port);

// The system's own words for an errno or GetLastError() value, with the
// number: "Device or resource busy (errno 16)".
std::string SystemErrorText(int32_t osError);

// A failure in words: the step and the system's reason, "the reader
// thread: Resource temporarily unavailable (errno 11)"; the step alone when
// the system gave no error.
std::string ResultText(const Result& result);

// "busy: Device or resource busy (errno 16)" and the like.
std::string OpenFailureText(const Result& result);

// The reason word alone: "missing", "busy", "access denied", "failed".
const char* OpenFailureWord(Status status);
