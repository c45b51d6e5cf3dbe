// The reader's pass on Win32: an overlapped comm-event wait, then an
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
// the loop cannot spin a core.
//
// A port whose waits fail is not waited on again while its reads bring
// bytes: the pass after a failed wait whose read brought bytes goes straight
// to the read, and so on until a read brings nothing. Wine 8 keeps about
// 400 bytes of every comm-event wait that ends in failure on a
// pseudo-terminal and never frees them (measured with Wine 8.0: a program
// doing nothing but these waits grew by 12 MiB in 33,000 of them); with a
// wait per arriving piece that was megabytes an hour. There the read does
// the waiting, as said above. On Windows, where waits work, a failed wait is rare, and a read without one
// that finds nothing brings the wait back at once, so no pass runs without
// either a wait or bytes.
#include <windows.h>

#include "link/line_loss_win32.h"
#include "link/reader_pass.h"

namespace {

HANDLE EventOf(const Reader& reader) { return reinterpret_cast<HANDLE>(reader.readEvent); }

// A failed wait or read on the port that is still current: gone (its
// adapter pulled, line_loss_win32.h) or merely failing. One the port's own
// closing ended is neither.
ReadPass Lost(Reader& reader, intptr_t value, DWORD error, const char* what)
{
    if (!IsCurrentPort(*reader.port, value))
        return ReadPass::Done;
    reader.lost = LineLoss(error, what);
    return reader.lost.status == Status::Removed ? ReadPass::Removed : ReadPass::Failed;
}

}  // namespace

Result MakeReader(Reader& reader, SerialPort& port, ByteSink sink)
{
    reader.port = &port;
    reader.sink = sink;
    reader.stopping.store(false);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    reader.readEvent = reinterpret_cast<intptr_t>(event);
    reader.made = event != nullptr;
    return reader.made ? Success : Failure(Status::Failed, "CreateEventW", static_cast<int32_t>(GetLastError()));
}

void DestroyReader(Reader& reader)
{
    if (reader.made)
        CloseHandle(EventOf(reader));
    reader.made = false;
}

ReadPass WaitAndRead(Reader& reader, intptr_t value, uint32_t* count)
{
    if (value == NoPort)
        return ReadPass::Idle;
    HANDLE port = reinterpret_cast<HANDLE>(value);
    OVERLAPPED record{};
    record.hEvent = EventOf(reader);

    if (!IsCurrentPort(*reader.port, value))
        return ReadPass::Done;
    const bool waited = !reader.readWaits;
    bool waitFailed = false;
    DWORD events = 0;
    if (waited)
        reader.commWaits.fetch_add(1, std::memory_order_relaxed);
    if (waited && !WaitCommEvent(port, &events, &record)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return Lost(reader, value, error, "WaitCommEvent");
        DWORD ignored = 0;
        if (!GetOverlappedResult(port, &record, &ignored, TRUE)) {
            waitFailed = true;
            SleepMilliseconds(1);
        }
    }

    if (!IsCurrentPort(*reader.port, value))
        return ReadPass::Done;
    record = OVERLAPPED{};
    record.hEvent = EventOf(reader);
    DWORD bytesRead = 0;
    if (!ReadFile(port, reader.staging.data(), MaxReadSize, &bytesRead, &record)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            reader.readWaits = false;
            return Lost(reader, value, error, "ReadFile");
        }
        if (!GetOverlappedResult(port, &record, &bytesRead, TRUE)) {
            reader.readWaits = false;
            return Lost(reader, value, GetLastError(), "ReadFile");
        }
    }
    *count = bytesRead;
    reader.readWaits = bytesRead != 0 && (waitFailed || !waited);
    return ReadPass::Done;
}
