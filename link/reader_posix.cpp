// The reader's pass on POSIX. The Win32 comm-event wait and overlapped read
// become a poll on the port's descriptor (together with its closing pipe)
// and a non-blocking read of what has arrived.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "link/reader_pass.h"

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
    // condition; a hung-up line is then tried again after a pause.
    const ssize_t n = read(fd, reader.staging.data(), MaxReadSize);
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? ReadPass::Done : ReadPass::Failed;
    if (n == 0 && (waits[0].revents & (POLLHUP | POLLERR)))
        return ReadPass::Failed;
    *count = static_cast<uint32_t>(n);
    return ReadPass::Done;
}
