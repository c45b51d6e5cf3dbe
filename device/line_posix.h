// The device's end of the serial line: the master side of a new
// pseudo-terminal, or a real serial device at 115200 8N1 raw.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t LineBaud = 115200;
constexpr int LineWriteWaitMs = 1000;   // a client that reads nothing cannot stall the device longer

struct DeviceLine {
    int fd;          // read and written by the device
    int slaveFd;     // held open so the pty survives clients coming and going
    char clientPath[256];   // what a client opens
};

// A new pty: master non-blocking, slave raw. clientPath is the slave's path.
bool OpenPtyLine(DeviceLine& line, char* error, size_t capacity);

// An existing serial device, 115200 8N1 raw, no flow control.
bool OpenSerialLine(DeviceLine& line, const char* path, char* error, size_t capacity);

void CloseLine(DeviceLine& line);

// Writes all `count` bytes unless the line stays full for LineWriteWaitMs.
// Returns how many were written.
uint32_t WriteLine(DeviceLine& line, const uint8_t* bytes, uint32_t count);
