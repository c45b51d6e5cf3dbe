// The serial port on POSIX: a tty or pseudo-terminal path stands for the COM
// device, so the receive path, the virtual device and the native tests run
// over a pty pair.
//
// How the Windows behaviour is mapped:
//   - exclusive open: TIOCEXCL, and an advisory lock so that a second user
//     that honours locks (another copy of this program, the tests) is refused
//     even when running as root, which TIOCEXCL lets through;
//   - line settings: raw 115200 8N1 (raw_line_posix.h); hardware flow control
//     and the special characters are kept as the driver reports them, XON/XOFF
//     is turned off (a Linux tty starts with it on);
//   - reads return at once with what has arrived (non-blocking descriptor,
//     VMIN 0 / VTIME 0); the reader thread polls for readiness;
//   - purges: both queues are flushed after configuring and before closing;
//   - the 1000 ms write wait covers handing the bytes to the driver and the
//     driver sending them; what is left after it is flushed and forgotten.
//
// Closing while the reader waits: the descriptor is an atomic value that
// ClosePort (serial_port.cpp) swaps to -1 before anything else, then wakes
// the reader's poll through the port's closing pipe and waits until no
// borrow is outstanding before it calls close(). The reader never starts a poll or a read on a
// descriptor that is no longer current, and a descriptor number is never
// recycled while the reader may still use it.
#include "link/port_internal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/line_loss_posix.h"
#include "link/raw_line_posix.h"

namespace {

Status ClassifyOpenError(int error)
{
    switch (error) {
    case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: return Status::Missing;
    case EBUSY: return Status::Busy;
    case EACCES: case EPERM: case EROFS: return Status::AccessDenied;
    default: return Status::Failed;
    }
}

int64_t NowMs() { return MonotonicMicroseconds() / 1000; }

// Kept for LineLoss; a path too long to keep is not kept at all, so that a
// cut one never names some other node.
void KeepPath(SerialPort& port, const char* path)
{
    const size_t length = std::strlen(path);
    if (length < sizeof port.path)
        std::memcpy(port.path, path, length + 1);
    else
        port.path[0] = '\0';
}

}  // namespace

Result MakePlatformPort(SerialPort& port)
{
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return Failure(Status::Failed, "pipe2", errno);
    port.closing[0] = fds[0];
    port.closing[1] = fds[1];
    return Success;
}

void DestroyPlatformPort(SerialPort& port)
{
    close(static_cast<int>(port.closing[0]));
    close(static_cast<int>(port.closing[1]));
    port.closing[0] = port.closing[1] = -1;
}

Result OpenPlatformPort(SerialPort& port, const char* path)
{
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    const char* what = "open";
    if (fd >= 0 && (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)) {
        error = errno;
        what = "TIOCEXCL";
        close(fd);
        fd = -1;
    }
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // EWOULDBLOCK: another user holds the lock, which is "busy" too.
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        what = "flock";
        close(fd);
        fd = -1;
    }
    if (fd < 0)
        return Failure(ClassifyOpenError(error), what, error);

    const Result line = MakeRawLine(fd, FlowControl::Kept, 0);
    tcflush(fd, TCIOFLUSH);
    KeepPath(port, path);
    PublishPort(port, fd);
    return Succeeded(line) ? Success : Failure(Status::LineRefused, line.what, line.osError);
}

Result WritePort(SerialPort& port, const uint8_t* data, uint32_t length)
{
    const int fd = static_cast<int>(CurrentPort(port));
    if (fd < 0 || data == nullptr)
        return Failure(Status::NotOpen, "no port open");
    const int64_t deadline = NowMs() + WriteWaitMs;

    uint32_t done = 0;
    bool hungUp = false;
    while (done < length) {
        const ssize_t n = write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return LineLoss(fd, port.path, "write", errno);
        if (hungUp)   // the next write did not say why: the line's own word is all there is
            return LineLoss(fd, port.path, "the line hung up", 0);
        const int64_t left = deadline - NowMs();
        if (left <= 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            return Failure(Status::Failed, "poll", errno);
        // A hung-up or failed line: the next write tells the system's reason.
        hungUp = (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }

    // Handed over; now give the driver the rest of the time to send it. A
    // tty has no event for an empty output queue, so it is looked at each
    // millisecond until the time is up.
    int queued = 0;
    while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && NowMs() < deadline)
        SleepMilliseconds(1);
    if (done < length || queued > 0) {
        tcflush(fd, TCOFLUSH);
        return Failure(Status::TimedOut, "write");
    }
    return Success;
}

void QuietPlatformPort(intptr_t handle) { tcflush(static_cast<int>(handle), TCIOFLUSH); }

// A reader inside its pass is woken by the pipe and returns the borrow
// within a poll and a read; it starts nothing new on the taken descriptor.
void NudgeReader(SerialPort& port, intptr_t)
{
    const char wake = 1;
    ssize_t ignored = write(static_cast<int>(port.closing[1]), &wake, 1);
    (void)ignored;
}

void ReleasePlatformPort(SerialPort& port, intptr_t handle)
{
    char drain[16];
    while (read(static_cast<int>(port.closing[0]), drain, sizeof drain) > 0) {
    }
    close(static_cast<int>(handle));
}
