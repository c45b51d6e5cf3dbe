#include "device/line_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "link/platform.h"
#include "link/raw_line_posix.h"

namespace {

Result Failed(const char* what)
{
    return Failure(Status::Failed, what, errno);
}

int64_t PaceNow(void*) { return MonotonicMicroseconds(); }

// MonotonicMicroseconds reads CLOCK_MONOTONIC: the same clock, slept on
// until an absolute moment so that the time spent writing is not added.
void PaceSleepUntil(void*, int64_t microseconds)
{
    const timespec until{static_cast<time_t>(microseconds / 1000000), static_cast<long>(microseconds % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace

Result OpenPtyLine(DeviceLine& line)
{
    line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    line.slaveFd = -1;
    if (line.fd < 0)
        return Failed("posix_openpt");
    if (grantpt(line.fd) != 0 || unlockpt(line.fd) != 0)
        return Failed("grantpt/unlockpt");
    if (ptsname_r(line.fd, line.clientPath, sizeof line.clientPath) != 0)
        return Failed("ptsname");
    // Holding the slave open keeps the master readable while no client has
    // it open, and raw mode set here keeps the line from echoing the
    // device's replies back to it before a client configures it.
    line.slaveFd = open(line.clientPath, O_RDWR | O_NOCTTY);
    if (line.slaveFd < 0)
        return Failed("opening the pty's slave");
    return MakeRawLine(line.slaveFd, FlowControl::Off, 1);
}

Result OpenSerialLine(DeviceLine& line, const char* path)
{
    line.slaveFd = -1;
    std::snprintf(line.clientPath, sizeof line.clientPath, "%s", path);
    line.fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.fd < 0)
        return Failed("open");
    const Result raw = MakeRawLine(line.fd, FlowControl::Off, 1);
    tcflush(line.fd, TCIOFLUSH);
    return raw;
}

void CloseLine(DeviceLine& line)
{
    if (line.slaveFd >= 0)
        close(line.slaveFd);
    if (line.fd >= 0)
        close(line.fd);
    line.fd = -1;
    line.slaveFd = -1;
}

uint32_t WriteLine(DeviceLine& line, const uint8_t* bytes, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = write(line.fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            break;
        pollfd p{line.fd, POLLOUT, 0};
        if (poll(&p, 1, LineWriteWaitMs) <= 0)
            break;
    }
    return done;
}

void StartLinePace(LinePace& pace)
{
    pace = LinePace{PaceClock{nullptr, PaceNow, PaceSleepUntil}, 0};
}

uint32_t WriteToLine(void* line, const uint8_t* bytes, uint32_t count)
{
    return WriteLine(*static_cast<DeviceLine*>(line), bytes, count);
}
