// One serial port: open it at 115200 8N1, write frames to it, close it; the
// reader (reader.h) waits on it and reads from it. Each session owns one.
// On Win32 this is the COMn device; on POSIX a tty or pseudo-terminal path,
// so that the receive path, the virtual device and the native tests run over
// a pseudo-terminal.
//
// Threads. OpenPort, WritePort and ClosePort are called from the owner's
// thread, one at a time (the dialog's user-interface thread, a command's
// thread in quorvane-cli). The reader reaches the open port only through a
// borrow: while it holds one, ClosePort may take the handle away from
// everyone but does not release it, so a closed handle value is never reused
// under the reader's feet. Every borrow is returned, also one that yielded
// NoPort.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/platform.h"

constexpr uint32_t PortQueueSize = 2048;
constexpr uint32_t WriteWaitMs = 1000;
// The reader's pause after a failed wait or read, so that a port that keeps
// failing cannot spin it.
constexpr uint32_t FailedPassPauseMs = 10;

// A Win32 HANDLE or a POSIX descriptor, carried as intptr_t; -1 means no
// port in both worlds.
constexpr intptr_t NoPort = -1;

struct SerialPort {
    std::atomic<intptr_t> handle{NoPort};   // swapped by the owner, borrowed by the reader
    std::atomic<uint32_t> users{0};         // borrows out
    std::atomic<uint32_t> openings{0};      // raised by each opening, read by the reader
    Wakeup opened;                          // an opening -> a reader idle for want of a port
    // POSIX: a pipe made readable while ClosePort takes the port away, so a
    // reader polling the port wakes at once. Unused on Win32.
    intptr_t closing[2] = {-1, -1};
    bool made = false;
};

// Makes the port's wake-up (and pipe); false with the OS error.
bool MakeSerialPort(SerialPort& port, int32_t* osError);
// Closes an open port first. The reader must have ended.
void DestroySerialPort(SerialPort& port);

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
    int32_t osError;     // errno or GetLastError() of the failing call; 0 when opened
    // The port opened, but the system refused its line settings (SetCommState,
    // tcsetattr): that call's error, 0 when the line took them. The port is
    // open all the same, with whatever settings took effect.
    int32_t lineError;
};

// Opens `path` (Win32: "\\.\COMn"; POSIX: a device path). A port that is open
// is closed first, unless `path` is null.
PortOpenResult OpenPortReporting(SerialPort& port, const char* path);
// OpenPortReporting, reduced to whether the port is open.
bool OpenPort(SerialPort& port, const char* path);

enum class WriteStatus {
    Written,
    NotOpen,    // no port open: nothing written
    TimedOut,   // not finished within WriteWaitMs; the rest is dropped
    Failed,     // the system refused the write
    TooLong,    // more than a request can carry: nothing written
};

struct WriteResult {
    WriteStatus status;
    int32_t osError;   // for Failed: errno or GetLastError()
};

// Writes `length` bytes, waiting at most WriteWaitMs.
WriteResult WritePort(SerialPort& port, const uint8_t* data, uint32_t length);

// Closes the open port, if any.
void ClosePort(SerialPort& port);

bool IsPortOpen(const SerialPort& port);

// ---- the reader's side (reader_*.cpp) and the platform ports' ----

// Registers the caller as a user of the port, then reads the handle.
intptr_t BorrowPort(SerialPort& port);
// False once the port the borrow yielded has been taken away by ClosePort
// (or replaced by another opening): no new operation may start on it then.
bool IsCurrentPort(const SerialPort& port, intptr_t handle);
// Ends the borrow; ClosePort waits for this before releasing the handle.
void ReturnPort(SerialPort& port);
// Counts the openings of the port, so that the bytes read under one borrow
// can be told from those of an earlier opening.
uint32_t PortOpenings(const SerialPort& port);

// For the platform ports alone (the owner's thread): makes an opened and
// configured handle the current one, counting an opening and waking a reader
// that waits for a port; reads it for a write; takes it away from everyone,
// returning what it was; and tells whether a borrow taken before TakePort is
// still out, which ClosePort waits for before releasing.
void PublishPort(SerialPort& port, intptr_t handle);
intptr_t CurrentPort(const SerialPort& port);
intptr_t TakePort(SerialPort& port);
bool PortStillBorrowed(const SerialPort& port);
