// The serial port on Win32: the COMn device, opened for overlapped I/O.
//
// Closing under a live reader
// ---------------------------
// The reader thread waits on and reads from the port handle while the
// user-interface thread may close it. A plain "clear the mask, purge, close"
// is not enough: between the reader loading the handle and starting its next
// WaitCommEvent or ReadFile the handle may be closed, and by then its value
// may already name some other kernel object (handle values are recycled at
// once), so the reader would wait on, or read from, something that is not
// the port at all.
//
// So the handle is an atomic value and the reader borrows it (see
// serial_port.h; the count and the handle live in port_borrow.cpp, shared
// with the POSIX port):
//   - the reader first raises an atomic count of users, then loads the
//     handle (both sequentially consistent);
//   - ClosePort first swaps the handle to INVALID_HANDLE_VALUE, so no new
//     borrow can yield it; then clears the event mask and purges, which ends
//     the wait and the read on real Windows; then, until the count of users
//     is 0, it cancels all I/O on the handle and waits for the last borrow
//     back (at most 10 ms a round, serial_port.cpp), which also ends
//     a wait or read the reader started just after the swap, and a read that
//     the purge does not end (Wine keeps a read on a pty pending until bytes
//     come); only then does it close the handle;
//   - the reader checks, before every WaitCommEvent and ReadFile, that its
//     borrowed handle is still the current one, and returns the borrow after
//     its pass. Because of the count, a handle value it holds is never closed
//     under it, and because of the check it starts nothing on a handle that
//     has been taken away.
//
// Writes
// ------
// WritePort waits at most 1000 ms for its overlapped write. A write still
// pending then is cancelled (CancelIoEx) and its completion collected before
// the event, the OVERLAPPED record and the caller's bytes go away: the driver
// never writes into freed stack memory or signals a closed event.
#include "link/port_internal.h"

#include <windows.h>

#include "link/line_loss_win32.h"

namespace {

constexpr DWORD OpenAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD OpenFlags = FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL;
constexpr DWORD PurgeOnOpen = PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD PurgeOnClose = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD LineBaudRate = 115200;

HANDLE AsHandle(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// The results of the other calls are not looked at: a driver that ignores
// the queue sizes or the time-outs still gives a usable port. A refused line
// setting is reported; the port is used all the same.
DWORD ConfigureLine(HANDLE h)
{
    SetCommMask(h, EV_RXCHAR);
    SetupComm(h, PortQueueSize, PortQueueSize);

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 500;
    SetCommTimeouts(h, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        // Nothing trustworthy was read: send only the four values that
        // matter rather than whatever the record held.
        dcb = DCB{};
        dcb.DCBlength = sizeof dcb;
    }
    dcb.BaudRate = LineBaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    const DWORD lineError = SetCommState(h, &dcb) ? 0 : GetLastError();

    PurgeComm(h, PurgeOnOpen);
    return lineError;
}

// A COM port that another program holds is refused with ERROR_ACCESS_DENIED
// (the device is opened for exclusive use), so that code means busy here.
Status ClassifyOpenError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: return Status::Missing;
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: return Status::Busy;
    default: return Status::Failed;
    }
}

Result SystemCallFailed(DWORD error, const char* what)
{
    return Failure(Status::Failed, what, static_cast<int32_t>(error));
}

// A write on the handle that was opened and configured: a pulled adapter
// tells itself here too.
Result WriteRefused(DWORD error)
{
    return LineLoss(error, "WriteFile");
}

}  // namespace

Result MakePlatformPort(SerialPort&) { return Success; }

void DestroyPlatformPort(SerialPort&) {}

Result OpenPlatformPort(SerialPort& port, const char* path)
{
    HANDLE h = CreateFileA(path, OpenAccess, 0, nullptr, OPEN_EXISTING, OpenFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Failure(ClassifyOpenError(error), "CreateFileA", static_cast<int32_t>(error));
    }
    // Configured before it is published, so the reader never waits on a port
    // whose event mask or time-outs are not yet in place.
    const DWORD lineError = ConfigureLine(h);
    PublishPort(port, reinterpret_cast<intptr_t>(h));
    return lineError == 0 ? Success : Failure(Status::LineRefused, "SetCommState", static_cast<int32_t>(lineError));
}

Result WritePort(SerialPort& port, const uint8_t* data, uint32_t length)
{
    const intptr_t value = CurrentPort(port);
    if (value == NoPort)
        return Failure(Status::NotOpen, "no port open");
    HANDLE h = AsHandle(value);

    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr)   // no way to wait for the write: better not to start it
        return SystemCallFailed(GetLastError(), "CreateEventW");
    OVERLAPPED ov{};
    ov.hEvent = done;

    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(h, &errors, &status);

    Result result = Success;
    DWORD written = 0;
    if (!WriteFile(h, data, length, &written, &ov)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            result = WriteRefused(error);
        } else {
            if (WaitForSingleObject(done, WriteWaitMs) != WAIT_OBJECT_0) {
                CancelIoEx(h, &ov);
                result = Failure(Status::TimedOut, "WriteFile");
            }
            if (!GetOverlappedResult(h, &ov, &written, TRUE) && Succeeded(result))
                result = WriteRefused(GetLastError());
        }
    }
    if (Succeeded(result) && written < length)
        result = Failure(Status::TimedOut, "WriteFile");
    CloseHandle(done);
    return result;
}

void QuietPlatformPort(intptr_t handle)
{
    SetCommMask(AsHandle(handle), 0);
    PurgeComm(AsHandle(handle), PurgeOnClose);
}

// Each round of the close wait: under Wine a read on a pty stays pending
// until bytes come, whatever the purge did.
void NudgeReader(SerialPort&, intptr_t handle) { CancelIoEx(AsHandle(handle), nullptr); }

void ReleasePlatformPort(SerialPort&, intptr_t handle) { CloseHandle(AsHandle(handle)); }
