// The utility's one serial port: open one at 115200 8N1, write frames to it,
// close it (com_ports.h lists the ports there are). On Win32 this is the COMn device; on POSIX a
// tty or pseudo-terminal path, so that the receive path, the virtual device
// and the native tests run over a pseudo-terminal.
//
// OpenPort, WritePort and ClosePort are called from one
// thread (the user-interface thread). The reader thread reaches the open port
// only through the borrow functions of serial_port_internal.h.
#pragma once

#include <cstdint>

constexpr uint32_t PortQueueSize = 2048;
constexpr uint32_t WriteWaitMs = 1000;
// Opens `path` (Win32: "\\.\COMn"; POSIX: a device path). A port that is open
// is closed first, unless `path` is null. False when the port cannot be opened.
bool OpenPort(const char* path);

// Why an open failed, as far as the operating system tells.
enum class PortOpenStatus {
    Opened,
    Missing,        // no such port (ENOENT, ENODEV, ENXIO; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND)
    Busy,           // held by another program (EBUSY, a lock held; ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION)
    AccessDenied,   // no permission (EACCES, EPERM)
    Failed,         // anything else, also a null path
};

struct PortOpenResult {
    PortOpenStatus status;
    int32_t osError;   // errno or GetLastError() of the failing call; 0 when opened
};

// OpenPort, keeping the reason of a failure. OpenPort is this, reduced to
// whether the port is open.
PortOpenResult OpenPortReporting(const char* path);

// Writes `length` bytes, waiting at most WriteWaitMs. Nothing is reported.
void WritePort(const uint8_t* data, uint32_t length);

// Closes the open port, if any.
void ClosePort();

// True while a port is open.
bool IsPortOpen();
