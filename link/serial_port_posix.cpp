// The serial port on POSIX: a tty or pseudo-terminal path stands for the COM
// device, so the receive path, the virtual device and the native tests run
// over a pty pair.
//
// How the Windows behaviour is mapped:
//   - exclusive open: TIOCEXCL, and an advisory lock so that a second user
//     that honours locks (another copy of this program, the tests) is refused
//     even when running as root, which TIOCEXCL lets through;
//   - line settings: raw 115200 8N1; flow control (CRTSCTS, IXON, IXOFF,
//     IXANY) and the special characters are kept as the driver reports them;
//   - reads return at once with what has arrived (non-blocking descriptor,
//     VMIN 0 / VTIME 0); the reader thread polls for readiness;
//   - purges: both queues are flushed after configuring and before closing;
//   - the 1000 ms write wait covers handing the bytes to the driver and the
//     driver sending them; what is left after it is flushed and forgotten;
//
// Closing while the reader waits: the descriptor is an atomic value that
// ClosePort swaps to -1 before anything else, then wakes the reader's poll
// through a pipe and waits until no borrow is outstanding before it calls
// close(). The reader never starts a poll or a read on a descriptor that is no
// longer current, and a descriptor number is never recycled while the reader
// may still use it.
#include "link/serial_port.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "link/platform.h"
#include "link/serial_port_internal.h"

namespace {

// The closing signal: a non-blocking pipe, made once per process.
struct ClosingPipe {
    int fds[2] = {-1, -1};
    ClosingPipe()
    {
        if (pipe(fds) == 0) {
            for (int fd : fds) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
                fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        }
    }
};

ClosingPipe& Closing()
{
    static ClosingPipe pipeOnce;
    return pipeOnce;
}

int64_t NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void ConfigureLine(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    const tcflag_t keptInput = t.c_iflag & (IXON | IXOFF | IXANY);
    const tcflag_t keptControl = t.c_cflag & CRTSCTS;
    cfmakeraw(&t);
    t.c_iflag = (t.c_iflag & ~(IXON | IXOFF | IXANY)) | keptInput;
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL | keptControl;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
}

PortOpenStatus ClassifyOpenError(int error)
{
    switch (error) {
    case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: return PortOpenStatus::Missing;
    case EBUSY: return PortOpenStatus::Busy;
    case EACCES: case EPERM: case EROFS: return PortOpenStatus::AccessDenied;
    default: return PortOpenStatus::Failed;
    }
}

}  // namespace

bool OpenPort(const char* path)
{
    return OpenPortReporting(path).status == PortOpenStatus::Opened;
}

PortOpenResult OpenPortReporting(const char* path)
{
    if (path == nullptr)
        return {PortOpenStatus::Failed, 0};
    ClosePort();
    Closing();

    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)) {
        error = errno;
        close(fd);
        fd = -1;
    }
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // EWOULDBLOCK: another user holds the lock, which is "busy" too.
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        fd = -1;
    }
    if (fd < 0)
        return {ClassifyOpenError(error), error};

    ConfigureLine(fd);
    tcflush(fd, TCIOFLUSH);
    PublishPort(fd);
    return {PortOpenStatus::Opened, 0};
}

void WritePort(const uint8_t* data, uint32_t length)
{
    const int fd = static_cast<int>(CurrentPort());
    if (fd < 0 || data == nullptr)
        return;
    const int64_t deadline = NowMs() + WriteWaitMs;

    uint32_t done = 0;
    while (done < length) {
        const ssize_t n = write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return;
        const int64_t left = deadline - NowMs();
        if (left <= 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
            return;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            return;
    }

    // Handed over; now give the driver the rest of the time to send it.
    int queued = 0;
    while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && NowMs() < deadline)
        SleepMilliseconds(1);
    if (done < length || queued > 0)
        tcflush(fd, TCOFLUSH);
}

void ClosePort()
{
    const intptr_t fd = TakePort();
    if (fd == NoPort)
        return;
    const int descriptor = static_cast<int>(fd);
    tcflush(descriptor, TCIOFLUSH);

    ClosingPipe& closing = Closing();
    const char wake = 1;
    ssize_t ignored = write(closing.fds[1], &wake, 1);
    (void)ignored;
    while (PortStillBorrowed())
        SleepMilliseconds(1);
    char drain[16];
    while (read(closing.fds[0], drain, sizeof drain) > 0) {
    }
    close(descriptor);
}

int PortClosingFd()
{
    return Closing().fds[0];
}
