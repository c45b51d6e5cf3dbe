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
#include "wire/result.h"

constexpr uint32_t PortQueueSize = 2048;
constexpr uint32_t WriteWaitMs = 1000;
// The reader's pause after a failed wait or read, so that a port that keeps
// failing cannot spin it.
constexpr uint32_t FailedPassPauseMs = 10;

// A Win32 HANDLE or a POSIX descriptor, carried as intptr_t; -1 means no
// port in both worlds.
constexpr intptr_t NoPort = -1;
// The longest port path kept to tell later whether its node is still there.
constexpr uint32_t PortPathBytes = 256;

struct SerialPort {
    std::atomic<intptr_t> handle{NoPort};   // swapped by the owner, borrowed by the reader
    std::atomic<uint32_t> users{0};         // borrows out
    std::atomic<uint32_t> openings{0};      // raised by each opening, read by the reader
    Wakeup opened;                          // an opening -> a reader idle for want of a port
    Wakeup returned;                        // the last borrow back after ClosePort took the port
    // POSIX: a pipe made readable while ClosePort takes the port away, so a
    // reader polling the port wakes at once. Unused on Win32.
    intptr_t closing[2] = {-1, -1};
    // POSIX: the path the open port was opened by ("" when longer than kept),
    // so that a hung-up line can be told gone (line_loss_posix.h). Written by
    // OpenPort while no port is published, read under a borrow.
    char path[PortPathBytes] = {};
    bool made = false;
};

// Makes the port's wake-up (and pipe).
Result MakeSerialPort(SerialPort& port);
// Closes an open port first. The reader must have ended.
void DestroySerialPort(SerialPort& port);

// Opens `path` (Win32: "\\.\COMn"; POSIX: a device path) at 115200 8N1. A
// port that is open is closed first, unless `path` is null. The result says
// why an open failed, as far as the system tells: Missing (ENOENT, ENODEV,
// ENXIO; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND), Busy (EBUSY, a lock
// held; ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION), AccessDenied (EACCES,
// EPERM), Failed (anything else, also a null path). LineRefused: the port
// opened, but the system refused its line settings (SetCommState,
// tcsetattr); it is open all the same, with whatever settings took effect.
// Removed never comes from an opening: a port that is not there is Missing.
Result OpenPort(SerialPort& port, const char* path);

// Whether an opening left the port open (its line settings refused or not).
inline bool PortOpened(const Result& opened)
{
    return opened.status == Status::Ok || opened.status == Status::LineRefused;
}

// Writes `length` bytes, waiting at most WriteWaitMs: NotOpen (nothing
// written), TimedOut (the rest is dropped), Removed (the adapter is gone),
// Failed (the system refused the write), or TooLong from the senders above.
Result WritePort(SerialPort& port, const uint8_t* data, uint32_t length);

// Closes the open port, if any.
void ClosePort(SerialPort& port);

// ---- the reader's side (reader_*.cpp) ----

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
