// The reader thread on POSIX. The Win32 comm-event wait and overlapped read
// become a poll on the port's descriptor (together with the closing signal)
// and a non-blocking read of what has arrived. While no port is open it waits
// for OpenPort's signal.
#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "link/frame_receiver.h"
#include "link/platform.h"
#include "link/serial_port_internal.h"

namespace {

enum class Pass { Idle, Failed, Done };

// One wait and read on a borrowed descriptor. Bytes read are in StagingBuffer
// and counted in StagingCount.
Pass WaitAndRead(intptr_t handle)
{
    if (handle == NoPort)
        return Pass::Idle;
    const int fd = static_cast<int>(handle);
    pollfd waits[2] = {{fd, POLLIN, 0}, {PortClosingFd(), POLLIN, 0}};
    if (!IsCurrentPort(handle))
        return Pass::Done;
    if (poll(waits, 2, -1) < 0)
        return errno == EINTR ? Pass::Done : Pass::Failed;
    if (waits[1].revents != 0 || !IsCurrentPort(handle))
        return Pass::Done;
    if (waits[0].revents & POLLNVAL)
        return Pass::Failed;
    // POLLHUP or POLLERR alone still goes on to the read, which reports the
    // condition; a hung-up line is then tried again after a pause.
    const ssize_t n = read(fd, StagingBuffer.data() + StagingCount, MaxReadSize);
    if (n < 0)
        return (errno == EAGAIN || errno == EINTR) ? Pass::Done : Pass::Failed;
    if (n == 0 && (waits[0].revents & (POLLHUP | POLLERR)))
        return Pass::Failed;
    StagingCount += static_cast<uint32_t>(n);
    return Pass::Done;
}

}  // namespace

[[noreturn]] void ReaderThread()
{
    for (;;) {
        StagingCount = 0;
        const intptr_t port = BorrowPort();
        // Taken while the borrow holds the port open: no other opening can
        // be published before the borrow is returned.
        StagingSession = PortSession();
        const Pass pass = WaitAndRead(port);
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
