// The POSIX serial port over a pty pair: the line settings a device sees,
// bytes on the wire, the purges, the open/close states and the write limit.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <chrono>
#include <numeric>

#include "link/serial_port.h"
#include "tests/serial/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class SerialPort : public ::testing::Test {
protected:
    void TearDown() override { ClosePort(); }
};

// Puts the slave into a cooked 9600 7E2 state, with or without flow control.
void Scramble(int fd, bool flowControl)
{
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    t.c_lflag |= ICANON | ECHO | ISIG;
    t.c_oflag |= OPOST;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF);
    t.c_cflag &= ~CRTSCTS;
    if (flowControl) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cflag |= CRTSCTS;
    }
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
}

}  // namespace

TEST_F(SerialPort, OpenSetsRaw115200EightNoneOneAndKeepsFlowControl)
{
    for (bool flow : {true, false}) {
        PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        Scramble(pty.slave, flow);
        ASSERT_TRUE(OpenPort(pty.path.c_str()));
        EXPECT_TRUE(IsPortOpen());

        termios t{};
        ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
        EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B115200));
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u) << "line must be raw";
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, flow);
        EXPECT_EQ((t.c_iflag & IXON) != 0, flow);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, flow);
        ClosePort();
    }
}

TEST_F(SerialPort, WrittenBytesArriveUnchangedAtTheOtherEnd)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(OpenPort(pty.path.c_str()));

    // Every byte value, including CR, LF, NUL and the flow-control characters
    // a cooked line would act on.
    std::vector<uint8_t> bytes(512);
    std::iota(bytes.begin(), bytes.end(), 0);
    WritePort(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(ReadFor(pty.master, bytes.size() + 1, 300), bytes);
}

TEST_F(SerialPort, OpenDiscardsWhatArrivedBefore)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    Scramble(pty.slave, false);
    ASSERT_TRUE(WriteAll(pty.master, {0x55, 0xAA, 0x06, 0x00, 0x00, 0x01, 'x', '\n'}));
    usleep(50 * 1000);  // let the pty move the bytes to the slave's queue
    ASSERT_TRUE(OpenPort(pty.path.c_str()));

    ASSERT_TRUE(WriteAll(pty.master, {'o', 'k'}));
    EXPECT_EQ(ReadFor(pty.slave, 3, 200), (std::vector<uint8_t>{'o', 'k'}));
}

TEST_F(SerialPort, OpenAndCloseStates)
{
    PtyPair first;
    PtyPair second;
    ASSERT_TRUE(first.Ok() && second.Ok());

    // Close with nothing open, and twice after an open: nothing happens.
    ClosePort();
    EXPECT_FALSE(IsPortOpen());
    ASSERT_TRUE(OpenPort(first.path.c_str()));
    ClosePort();
    EXPECT_FALSE(IsPortOpen());
    ClosePort();
    EXPECT_FALSE(IsPortOpen());

    // A missing path changes nothing; the open port stays usable.
    ASSERT_TRUE(OpenPort(first.path.c_str()));
    EXPECT_FALSE(OpenPort(nullptr));
    EXPECT_TRUE(IsPortOpen());
    const uint8_t a = 'a';
    WritePort(&a, 1);
    EXPECT_EQ(ReadFor(first.master, 2, 200), (std::vector<uint8_t>{'a'}));

    // Opening another port releases the first: someone else can lock it now.
    ASSERT_TRUE(OpenPort(second.path.c_str()));
    {
        const int other = open(first.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(other, 0);
        EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
        close(other);
    }
    const uint8_t b = 'b';
    WritePort(&b, 1);
    EXPECT_EQ(ReadFor(second.master, 2, 200), (std::vector<uint8_t>{'b'}));
    EXPECT_TRUE(ReadFor(first.master, 1, 50).empty());

    // Reopening the open port works and purges it again.
    ASSERT_TRUE(WriteAll(second.master, {'s', 't', 'a', 'l', 'e'}));
    usleep(50 * 1000);
    ASSERT_TRUE(OpenPort(second.path.c_str()));
    EXPECT_TRUE(IsPortOpen());
    EXPECT_TRUE(ReadFor(second.slave, 1, 50).empty());

    // A path that cannot be opened fails, and the port that was open is closed.
    EXPECT_FALSE(OpenPort("/nonexistent/qv-tty"));
    EXPECT_FALSE(IsPortOpen());
}

TEST_F(SerialPort, PortHeldByAnotherProgramIsRefusedAndThePreviousOneClosed)
{
    PtyPair held;
    PtyPair mine;
    ASSERT_TRUE(held.Ok() && mine.Ok());
    const int holder = open(held.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    ASSERT_TRUE(OpenPort(mine.path.c_str()));
    EXPECT_FALSE(OpenPort(held.path.c_str()));
    EXPECT_FALSE(IsPortOpen());
    close(holder);
    EXPECT_TRUE(OpenPort(held.path.c_str()));
}

TEST_F(SerialPort, WriteWithoutAnOpenPortReturnsAtOnce)
{
    std::vector<uint8_t> big(1 << 20, 0x55);
    const auto start = Clock::now();
    WritePort(big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_LT(MsSince(start), 50);
}

TEST_F(SerialPort, WriteThatCannotDrainGivesUpAfterAboutOneSecond)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(OpenPort(pty.path.c_str()));

    // Nobody reads the master: the pty's buffers fill and the write stalls.
    std::vector<uint8_t> big(1 << 20, 0xA5);
    const auto start = Clock::now();
    WritePort(big.data(), static_cast<uint32_t>(big.size()));
    const long took = MsSince(start);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 3000);

    // What got through is a prefix of the write; the rest was dropped, and
    // the port still works.
    const std::vector<uint8_t> stale = ReadFor(pty.master, big.size(), 300);
    EXPECT_GT(stale.size(), 0u);
    EXPECT_LT(stale.size(), big.size());
    for (uint8_t v : stale)
        ASSERT_EQ(v, 0xA5);
    const uint8_t mark[2] = {0x55, 0xAA};
    WritePort(mark, 2);
    EXPECT_EQ(ReadFor(pty.master, 3, 300), (std::vector<uint8_t>{0x55, 0xAA}));
}
