#include "link/raw_line_posix.h"

#include <termios.h>

#include <cerrno>

Result MakeRawLine(int fd, FlowControl flow, unsigned char minBytes)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return Failure(Status::Failed, "tcgetattr", errno);
    const tcflag_t keptControl = flow == FlowControl::Kept ? t.c_cflag & CRTSCTS : 0;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL | keptControl;
    t.c_cc[VMIN] = minBytes;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    return tcsetattr(fd, TCSANOW, &t) == 0 ? Success : Failure(Status::Failed, "tcsetattr", errno);
}
