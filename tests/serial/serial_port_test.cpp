// The POSIX serial port over a pty pair: the line settings a device sees,
// bytes on the wire, the purges, the locks, the open/close states and the
// write limit.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <chrono>
#include <numeric>

#include "link/line_loss_posix.h"
#include "link/serial_port.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/port_state.h"

namespace {

long MsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start).count());
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Succeeded(MakeSerialPort(port))); }
    void TearDown() override { DestroySerialPort(port); }
    ::SerialPort port;
};

// Whether another user of `path` that honours locks gets a lock of `kind`.
bool OthersMayLock(const std::string& path, int kind)
{
    const int other = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool got = other >= 0 && flock(other, kind | LOCK_NB) == 0;
    close(other);
    return got;
}

}  // namespace

TEST_F(SerialPortTest, OpenSetsRaw115200EightNoneOneKeepsHardwareFlowControlDropsXonXoff)
{
    for (bool flow : {true, false}) {
        PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        // A cooked 9600 7E2 line, with or without flow control.
        termios t{};
        ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
        t.c_lflag |= ICANON | ECHO | ISIG;
        t.c_oflag |= OPOST;
        t.c_cflag = (t.c_cflag & ~(CSIZE | CRTSCTS)) | CS7 | PARENB | CSTOPB | (flow ? CRTSCTS : 0);
        t.c_iflag = (t.c_iflag & ~(IXON | IXOFF)) | (flow ? IXON | IXOFF : 0);
        cfsetspeed(&t, B9600);
        ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &t), 0);
        ASSERT_TRUE(WriteAll(pty.master, {0x55, 0xAA, 0x06, 0x00, 0x00, 0x01, 'x', '\n'}));
        usleep(50 * 1000);   // let the pty move the bytes to the slave's queue

        ASSERT_TRUE(Opened(port, pty.path.c_str()));
        ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u) << "line must be raw";
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, flow);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u) << "XON/XOFF would eat frame bytes";

        // What came before the open was purged; what comes after arrives,
        // XOFF and XON bytes too, and every byte value goes out unchanged.
        ASSERT_TRUE(WriteAll(pty.master, {'o', 0x13, 0x11, 'k'}));
        EXPECT_EQ(ReadFor(pty.slave, 5, 200), (std::vector<uint8_t>{'o', 0x13, 0x11, 'k'}));
        ReadFor(pty.master, 1 << 16, 50);   // the cooked line's echo
        std::vector<uint8_t> bytes(512);
        std::iota(bytes.begin(), bytes.end(), 0);
        WritePort(port, bytes.data(), static_cast<uint32_t>(bytes.size()));
        EXPECT_EQ(ReadFor(pty.master, bytes.size() + 1, 300), bytes);
        ClosePort(port);
    }
}

TEST_F(SerialPortTest, OpenAndCloseStatesAndLocks)
{
    PtyPair first, second, held;
    ASSERT_TRUE(first.Ok() && second.Ok() && held.Ok());
    ClosePort(port);
    EXPECT_FALSE(PortIsOpen(port));
    ASSERT_TRUE(Opened(port, first.path.c_str()));
    EXPECT_FALSE(OthersMayLock(first.path, LOCK_SH)) << "the open port is locked for everyone else";
    EXPECT_FALSE(Opened(port, nullptr));
    EXPECT_TRUE(PortIsOpen(port)) << "a missing path changes nothing";

    // Opening another port releases the first.
    ASSERT_TRUE(Opened(port, second.path.c_str()));
    EXPECT_TRUE(OthersMayLock(first.path, LOCK_EX));
    const uint8_t b = 'b';
    WritePort(port, &b, 1);
    EXPECT_EQ(ReadFor(second.master, 2, 200), (std::vector<uint8_t>{'b'}));
    EXPECT_TRUE(ReadFor(first.master, 1, 50).empty());

    // A port another program holds is refused, and the open one is closed.
    const int holder = open(held.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const Result busy = OpenPort(port, held.path.c_str());
    EXPECT_EQ(busy.status, Status::Busy);
    EXPECT_EQ(busy.osError, EBUSY);
    EXPECT_FALSE(PortIsOpen(port));
    close(holder);
    EXPECT_TRUE(Opened(port, held.path.c_str()));
    const Result missing = OpenPort(port, "/nonexistent/qv-tty");
    EXPECT_EQ(missing.status, Status::Missing);
    EXPECT_EQ(missing.osError, ENOENT) << "the system's reason is kept";
    EXPECT_FALSE(PortIsOpen(port));
    ClosePort(port);
    EXPECT_FALSE(PortIsOpen(port));
}

TEST_F(SerialPortTest, WritesGiveUpAfterAboutOneSecond)
{
    std::vector<uint8_t> big(1 << 20, 0xA5);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WritePort(port, big.data(), static_cast<uint32_t>(big.size())).status, Status::NotOpen);
    EXPECT_LT(MsSince(start), 50) << "no open port: nothing to wait for";

    // Nobody reads the master: the pty's buffers fill and the write stalls.
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(WritePort(port, big.data(), static_cast<uint32_t>(big.size())).status, Status::TimedOut);
    EXPECT_GE(MsSince(start), 900);
    EXPECT_LT(MsSince(start), 3000);
    // What got through is a prefix; the rest was dropped, and the port works.
    const std::vector<uint8_t> stale = ReadFor(pty.master, big.size(), 300);
    EXPECT_GT(stale.size(), 0u);
    EXPECT_LT(stale.size(), big.size());
    const uint8_t mark[2] = {0x55, 0xAA};
    EXPECT_EQ(WritePort(port, mark, 2).status, Status::Ok);
    EXPECT_EQ(ReadFor(pty.master, 3, 300), (std::vector<uint8_t>{0x55, 0xAA}));
}

// Not a tty: it opens, but the system refuses the line settings, and says so.
TEST_F(SerialPortTest, RefusedLineSettingsAreReported)
{
    const Result opened = OpenPort(port, "/dev/null");
    EXPECT_EQ(opened.status, Status::LineRefused);
    EXPECT_EQ(opened.osError, ENOTTY);
    EXPECT_TRUE(PortIsOpen(port));
}

// A line that failed or hung up is gone when the system says so, or when
// the path it was opened by no longer names the device held open; else it
// is only failing (a carrier lost, a passing error), and not called removed.
TEST(LineLoss, TellsAGoneLineFromAFailingOne)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const std::string elsewhere = "/tmp/qv-line-loss-" + std::to_string(getpid());
    ASSERT_EQ(symlink("/dev/null", elsewhere.c_str()), 0);
    struct Case {
        const char* path;
        int error;
        Status status;
        const char* why;
    } cases[] = {
        {pty.path.c_str(), ENODEV, Status::Removed, "the system says the device is gone"},
        {pty.path.c_str(), ENXIO, Status::Removed, "the system says there is no such device"},
        {pty.path.c_str(), EIO, Status::Failed, "an error on a line whose node is still there"},
        {pty.path.c_str(), 0, Status::Failed, "a hang-up of a line whose node is still there"},
        {"/dev/qv-no-such-node", 0, Status::Removed, "a hang-up, and the node is gone"},
        {"/dev/qv-no-such-node", EIO, Status::Removed, "an error, and the node is gone"},
        {elsewhere.c_str(), EIO, Status::Removed, "the path names another device now"},
        {"", EIO, Status::Failed, "no path kept: nothing to tell by"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineLoss(pty.slave, c.path, "read", c.error).status, c.status) << c.why;
    unlink(elsewhere.c_str());
}
