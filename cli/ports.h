// The serial ports of this machine, the path a port name is opened by, and
// an open failure in words.
#pragma once

#include <string>
#include <vector>

#include "link/port_identity.h"
#include "link/serial_port.h"

struct PortEntry {
    std::string port;    // what -p takes: COM3, /dev/ttyUSB0
    std::string alias;   // Linux: its /dev/serial/by-id name, if any
    bool bluetooth = false;   // a Bluetooth serial port (opening one makes the system connect)
    PortIdentity identity{};  // what the system says the port is
};

// The ports this machine has and what the system says each is, found
// without opening any: on Windows the system's list and SetupAPI, on Linux
// the serial devices sysfs knows. `reading` gets why the system's list could
// not be read whole (Windows: the registry's own error), if asked.
std::vector<PortEntry> ListPorts(Result* reading = nullptr);

// The identity in one line, for the tables: "USB Serial Port  0403:6001
// serial=A50285BI location=1-1.2"; empty when the system describes nothing.
std::string IdentityText(const PortIdentity& identity);

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
