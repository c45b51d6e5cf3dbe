// The device's end of the serial line: the master side of a new
// pseudo-terminal, or a real serial device at 115200 8N1 raw.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/line_speed.h"
#include "wire/result.h"

constexpr int LineWriteWaitMs = 1000;   // a client that reads nothing cannot stall the device longer

struct DeviceLine {
    int fd;          // read and written by the device
    int slaveFd;     // held open so the pty survives clients coming and going
    char clientPath[256];   // what a client opens
};

// A new pty: master non-blocking, slave raw. clientPath is the slave's path.
Result OpenPtyLine(DeviceLine& line);

// An existing serial device, 115200 8N1 raw, no flow control.
Result OpenSerialLine(DeviceLine& line, const char* path);

void CloseLine(DeviceLine& line);

// Writes all `count` bytes unless the line stays full for LineWriteWaitMs.
// Returns how many were written.
uint32_t WriteLine(DeviceLine& line, const uint8_t* bytes, uint32_t count);

// Keeps `pace` on the product's monotonic clock (link/platform.h), with
// sleeps until a moment on it. The thread's timer slack stays the system's
// (50 µs): a byte may leave up to that late, never early, and the wake-ups
// of many devices at once can share a timer interrupt.
void StartLinePace(LinePace& pace);

// LineWrite for SendAtLineSpeed: WriteLine on the DeviceLine `line`.
uint32_t WriteToLine(void* line, const uint8_t* bytes, uint32_t count);
