// The serial ports of this machine, each with what the system says of it,
// in one call and without opening any: a port opened only to learn whether
// it exists would make a Bluetooth port try to connect (seconds each) and
// would hide a port another program holds.
//
// Windows: the COM ports of the registry's SERIALCOMM list, ascending, each
// joined by its number to its Ports-class device in SetupAPI. Linux: the
// /dev/ttyS* that sysfs gives a UART, then /dev/ttyUSB* and /dev/ttyACM*,
// each with its identity from sysfs and its /dev/serial/by-id name.
//
// Fixed in size; read on a front end's own thread, never on the receive
// path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/com_ports.h"
#include "link/port_identity.h"
#include "wire/result.h"

constexpr size_t MaxListedPorts = HighestComPort;
constexpr size_t PortPathSize = 256;   // "/dev/ttyUSB0" and its by-id name; "COM255" on Windows

struct ListedPort {
    char name[PortPathSize] = {};    // what opens it: "COM3", "/dev/ttyUSB0"
    char alias[PortPathSize] = {};   // Linux: its /dev/serial/by-id path, if it has one
    uint32_t number = 0;             // Windows: its COM number; 0 elsewhere
    bool bluetooth = false;          // opening it makes the system try to connect
    PortIdentity identity{};         // what the system says the port is
};

struct SerialPortList {
    uint32_t count = 0;
    std::array<ListedPort, MaxListedPorts> ports{};
    Result reading;   // why the list could not be read whole; the ports found are kept
};

// Every port the system has now, in `out` (about 260 KB: keep it in a
// long-lived struct or on the heap). A failed reading of the identities
// leaves the ports undescribed, not unlisted.
void ListPorts(SerialPortList& out);

// How much of an identity a text shows.
enum class IdentityDetail : uint8_t {
    Description,   // "USB-SERIAL CH340": the dialog's entry follows the port's name with it
    Adapter,       // "USB Serial Port  0403:6001  serial=A50285BI  location=1-1.2": tells adapters apart
};

// An identity as people read it, UTF-8, cut at a character boundary when it
// does not fit; empty when the system says nothing of the port.
void IdentityText(const PortIdentity& id, IdentityDetail detail, char* out, size_t capacity);

// Adds a port at the end of `list` with an undescribed identity; false,
// with `list.reading` failed, when the list is full or the name too long.
ListedPort* AddListedPort(SerialPortList& list, const char* name);
