#include "link/reader.h"

#include "link/reader_pass.h"

namespace {

// Once per opening: a wake-up left from an earlier opening may bring the
// reader back to the same dead port for one more pass.
void TellRemoval(Reader& reader, uint32_t opening)
{
    if (reader.toldOpening == opening)
        return;
    reader.toldOpening = opening;
    if (reader.removal.removed != nullptr)
        reader.removal.removed(reader.removal.context, reader.lost, opening);
}

}  // namespace

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
        if (pass == ReadPass::Removed) {
            TellRemoval(reader, opening);
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
