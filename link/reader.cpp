#include "link/reader.h"

#include "link/reader_pass.h"

// The loop both platforms share; the wait and read of one pass are theirs.
void RunReader(Reader& reader)
{
    SerialPort& port = *reader.port;
    while (!reader.stopping.load()) {
        const intptr_t handle = BorrowPort(port);
        // Taken while the borrow holds the port open: no other opening can
        // be published before the borrow is returned.
        const uint32_t opening = PortOpenings(port);
        uint32_t count = 0;
        const ReadPass pass = WaitAndRead(reader, handle, &count);
        ReturnPort(port);
        if (pass == ReadPass::Idle) {
            WaitWakeup(port.opened, WaitForever);
            continue;
        }
        if (pass == ReadPass::Failed) {
            SleepMilliseconds(FailedPassPauseMs);
            continue;
        }
        if (count != 0)
            reader.sink.bytes(reader.sink.context, reader.staging.data(), count, opening);
    }
}

void StopReader(Reader& reader)
{
    reader.stopping.store(true);
    SignalWakeup(reader.port->opened);
}
