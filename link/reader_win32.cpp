// The reader thread on Win32: an overlapped comm-event wait, then an
// overlapped read of what has arrived, on the port it has borrowed (see
// serial_port_win32.cpp for why it borrows).
//
// Two behaviours must both work. On Windows the wait ends when a character
// arrives and the read returns at once with what is there. Under Wine on a
// pseudo-terminal the wait ends by itself after a few milliseconds with an
// error, while the read stays pending until bytes come. A failed wait is
// therefore followed by a 1 ms sleep before the read: on Windows that read
// usually finds nothing and the pass starts again, never faster than once a
// millisecond; under Wine the read then blocks until bytes arrive. Either way
// the loop cannot spin a core. While no port is open the reader waits for
// OpenPort's signal.
#include <windows.h>

#include "link/frame_receiver.h"
#include "link/platform.h"
#include "link/serial_port_internal.h"

namespace {

enum class Pass { Idle, Failed, Done };

void ResetRecord(OVERLAPPED& record)
{
    record.Internal = 0;
    record.InternalHigh = 0;
    record.Offset = 0;
    record.OffsetHigh = 0;
}

Pass WaitAndRead(intptr_t value, OVERLAPPED& record)
{
    if (value == NoPort)
        return Pass::Idle;
    HANDLE port = reinterpret_cast<HANDLE>(value);
    ResetRecord(record);
    DWORD bytesRead = 0;

    if (!IsCurrentPort(value))
        return Pass::Done;
    DWORD events = 0;
    if (!WaitCommEvent(port, &events, &record)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return Pass::Failed;
        DWORD ignored = 0;
        if (!GetOverlappedResult(port, &record, &ignored, TRUE))
            SleepMilliseconds(1);
    }

    if (!IsCurrentPort(value))
        return Pass::Done;
    if (!ReadFile(port, StagingBuffer.data() + StagingCount, MaxReadSize, &bytesRead, &record)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return Pass::Failed;
        GetOverlappedResult(port, &record, &bytesRead, TRUE);
    }
    StagingCount += bytesRead;
    return Pass::Done;
}

}  // namespace

[[noreturn]] void ReaderThread()
{
    OVERLAPPED record{};
    record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (;;) {
        StagingCount = 0;
        const intptr_t port = BorrowPort();
        // Taken while the borrow holds the port open: no other opening can
        // be published before the borrow is returned.
        StagingSession = PortSession();
        const Pass pass = WaitAndRead(port, record);
        ReturnPort();
        if (pass == Pass::Idle) {
            WaitForPortOpened();
            continue;
        }
        if (pass == Pass::Failed) {
            SleepMilliseconds(FailedPassPauseMs);
            continue;
        }
        if (StagingCount != 0) {
            AppendStagedBytes();
            StagingCount = 0;
        }
    }
}
