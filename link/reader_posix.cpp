// The reader's pass on POSIX. The Win32 comm-event wait and overlapped read
// become a poll on the port's descriptor (together with its closing pipe)
// and a non-blocking read of what has arrived.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link/line_loss_posix.h"
#include "link/reader_pass.h"

namespace {

// A failed or hung-up line: gone (its adapter pulled) or merely failing.
ReadPass Lost(Reader& reader, int fd, int error)
{
    reader.lost = LineLoss(fd, reader.port->path, "read", error);
    return reader.lost.status == Status::Removed ? ReadPass::Removed : ReadPass::Failed;
}

}  // namespace

Result MakeReader(Reader& reader, SerialPort& port, ByteSink sink)
{
    reader.port = &port;
    reader.sink = sink;
    reader.stopping.store(false);
    reader.made = true;
    return Success;
}

void DestroyReader(Reader& reader) { reader.made = false; }

ReadPass WaitAndRead(Reader& reader, intptr_t handle, uint32_t* count)
{
    if (handle == NoPort)
        return ReadPass::Idle;
    const int fd = static_cast<int>(handle);
    pollfd waits[2] = {{fd, POLLIN, 0}, {static_cast<int>(reader.port->closing[0]), POLLIN, 0}};
    if (!IsCurrentPort(*reader.port, handle))
        return ReadPass::Done;
    if (poll(waits, 2, -1) < 0)
        return errno == EINTR ? ReadPass::Done : ReadPass::Failed;
    if (waits[1].revents != 0 || !IsCurrentPort(*reader.port, handle))
        return ReadPass::Done;
    if (waits[0].revents & POLLNVAL)
        return ReadPass::Failed;
    // POLLHUP or POLLERR alone still goes on to the read, which reports the
    // condition: a pulled adapter's tty reads 0 with POLLHUP, then EIO. A
    // hung-up line that is still there is tried again after a pause.
    const ssize_t n = read(fd, reader.staging.data(), MaxReadSize);
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? ReadPass::Done : Lost(reader, fd, errno);
    if (n == 0 && (waits[0].revents & (POLLHUP | POLLERR)))
        return Lost(reader, fd, 0);
    *count = static_cast<uint32_t>(n);
    return ReadPass::Done;
}
