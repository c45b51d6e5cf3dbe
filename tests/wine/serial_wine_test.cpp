// The Win32 serial port and reader thread under Wine, over COM ports that
// serial-wine-test.sh maps to the two ends of a socat pty pair:
//   QV_PORT  the port under test (\\.\COMn), QV_PEER  the far end, opened
//   here with plain Win32 calls to play the device, QV_EXPECT_PORTS  the
//   port numbers the system's list must give ("3,12"; "none").
// A test whose variable is not set is skipped (the script runs the listing
// once more without any port mapped).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "link/com_ports_win32.h"
#include "link/reader.h"
#include "tests/wine/com_peer_win32.h"
#include "tests/support/port_state.h"

namespace {

SerialPort port;

CRITICAL_SECTION RecordLock;
std::vector<uint8_t> Received;
uint32_t LargestRead = 0;

std::vector<uint8_t> TakeReceived(size_t want = 0, DWORD ms = 0)
{
    const DWORD start = GetTickCount();
    std::vector<uint8_t> out;
    for (;;) {
        EnterCriticalSection(&RecordLock);
        const bool enough = Received.size() >= want || MsSince(start) >= ms;
        if (enough)
            out.swap(Received);
        LeaveCriticalSection(&RecordLock);
        if (enough)
            return out;
        Sleep(5);
    }
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 31 + seed + i / 251);
    return v;
}

void Record(void*, const uint8_t* bytes, uint32_t count, uint32_t)
{
    EnterCriticalSection(&RecordLock);
    Received.insert(Received.end(), bytes, bytes + count);
    LargestRead = count > LargestRead ? count : LargestRead;
    LeaveCriticalSection(&RecordLock);
}

::Reader reader;
Thread readerThread;

uint64_t ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& f) { return ((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime) / 10000; };
    return ms(kernel) + ms(user);
}

class WinePort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (port_.empty() || peerPath_.empty())
            GTEST_SKIP() << "no ports mapped";
    }
    void TearDown() override { ClosePort(port); }
    Status Write(const std::vector<uint8_t>& bytes)
    {
        return WritePort(port, bytes.data(), static_cast<uint32_t>(bytes.size())).status;
    }

    const std::string port_ = Env("QV_PORT");
    const std::string peerPath_ = Env("QV_PEER");
};

}  // namespace

TEST(WineProbe, ListsExactlyTheMappedPorts)
{
    const std::string expected = Env("QV_EXPECT_PORTS");
    if (expected.empty())
        GTEST_SKIP() << "QV_EXPECT_PORTS not set";
    const ComPortList listed = ReadSerialComm();
    std::string numbers;
    for (uint32_t i = 0; i < listed.count; ++i)
        numbers += (i == 0 ? "" : ",") + std::to_string(listed.numbers[i]);
    EXPECT_EQ(numbers.empty() ? "none" : numbers, expected);
}

// What the open port was set to, as Windows reports it back.
TEST_F(WinePort, OpenSetsTheLineTimeOutsAndEvents)
{
    ASSERT_TRUE(Opened(port, port_.c_str()));
    HANDLE h = reinterpret_cast<HANDLE>(port.handle.load());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);   // a Linux pty is always 8N: these two bite on real ports
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(h, &t));
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 500u);
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(h, &mask));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
    // The queue sizes are not read back: Wine ignores SetupComm and reports
    // 4096 for both queues whatever was asked.
}

TEST_F(WinePort, OpenWriteCloseAndFailures)
{
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    ASSERT_TRUE(Opened(port, port_.c_str()));
    const std::vector<uint8_t> first = Pattern(700, 1), second = {0x55, 0xAA, 0x07, 0x00, 0x00, 0x00, 0x12, 0x34};
    Write(first);
    EXPECT_EQ(peer.Read(first.size(), 3000), first);
    // Opening the open port again closes and reopens it.
    ASSERT_TRUE(Opened(port, port_.c_str()));
    Write(second);
    EXPECT_EQ(peer.Read(second.size(), 3000), second);

    EXPECT_FALSE(Opened(port, nullptr));
    EXPECT_TRUE(PortIsOpen(port)) << "a null path leaves the open port open";
    EXPECT_FALSE(Opened(port, "\\\\.\\COM7"));
    EXPECT_FALSE(PortIsOpen(port)) << "a failed open leaves the port closed";
    ClosePort(port);   // twice: nothing happens
    const DWORD start = GetTickCount();
    Write(std::vector<uint8_t>(4096, 0x5A));
    EXPECT_LT(MsSince(start), 100u) << "no open port: nothing to wait for";
}

TEST_F(WinePort, WriteThatCannotDrainReturnsInAboutOneSecond)
{
    ASSERT_TRUE(Opened(port, port_.c_str()));
    // The far end is not read: socat stops once its side is full, and then
    // ours fills up. Keep writing until a write has to give up.
    const std::vector<uint8_t> block = Pattern(64 * 1024, 3);
    DWORD slowest = 0;
    Status last = Status::Ok;
    for (int i = 0; i < 40 && slowest < 900; ++i) {
        const DWORD start = GetTickCount();
        last = Write(block);
        slowest = MsSince(start);
        ASSERT_LT(slowest, 3000u);
    }
    EXPECT_GE(slowest, 900u) << "the line never stalled";
    EXPECT_EQ(last, Status::TimedOut) << "the caller is told";
    const DWORD start = GetTickCount();
    ClosePort(port);
    EXPECT_LT(MsSince(start), 1000u);

    // Drain the far end, then the port works as before.
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    while (!peer.Read(1 << 20, 300).empty()) {
    }
    ASSERT_TRUE(Opened(port, port_.c_str()));
    Write({0x55, 0xAA, 0x01});
    EXPECT_EQ(peer.Read(3, 3000), (std::vector<uint8_t>{0x55, 0xAA, 0x01}));
}

TEST_F(WinePort, ReaderReceivesAndLetsGoOnClose)
{
    HANDLE readerHandle = reinterpret_cast<HANDLE>(readerThread.handle);
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    TakeReceived();
    ASSERT_TRUE(Opened(port, port_.c_str()));
    Sleep(50);
    const std::vector<uint8_t> sent = Pattern(5000, 7);
    for (size_t at = 0; at < sent.size(); at += 1000)
        ASSERT_TRUE(peer.Write(std::vector<uint8_t>(sent.begin() + at, sent.begin() + at + 1000)));
    EXPECT_EQ(TakeReceived(sent.size(), 5000), sent);
    EXPECT_LE(LargestRead, MaxReadSize);

    // An open, quiet port costs the reader next to no processor time.
    const uint64_t cpuBefore = ThreadCpuMs(readerHandle);
    Sleep(1000);
    EXPECT_LT(ThreadCpuMs(readerHandle) - cpuBefore, 300u);

    // Close while the reader waits: prompt, and nothing is read afterwards.
    const DWORD closing = GetTickCount();
    ClosePort(port);
    EXPECT_LT(MsSince(closing), 500u);
    ASSERT_TRUE(peer.Write({1, 2, 3, 4}));
    Sleep(100);
    EXPECT_TRUE(TakeReceived().empty());

    // Handle values freed by the close go to new objects at once; a pipe
    // that may now carry the port's old value keeps its bytes.
    HANDLE pipeRead = nullptr, pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0));
    DWORD n = 0, waiting = 0;
    ASSERT_TRUE(WriteFile(pipeWrite, "keep", 4, &n, nullptr));
    Sleep(50);
    EXPECT_TRUE(PeekNamedPipe(pipeRead, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(waiting, 4u);
    CloseHandle(pipeRead);
    CloseHandle(pipeWrite);

    // Reopen: the bytes sent while closed were purged; new ones come through.
    ASSERT_TRUE(Opened(port, port_.c_str()));
    Sleep(50);
    ASSERT_TRUE(peer.Write({9, 8, 7}));
    EXPECT_EQ(TakeReceived(3, 3000), (std::vector<uint8_t>{9, 8, 7}));

    // Open and close cycles under traffic stay prompt.
    for (int cycle = 0; cycle < 30; ++cycle) {
        ASSERT_TRUE(Opened(port, port_.c_str()));
        ASSERT_TRUE(peer.Write(std::vector<uint8_t>(100, 0x42)));
        Sleep(static_cast<DWORD>(cycle % 5));
        const DWORD start = GetTickCount();
        ClosePort(port);
        ASSERT_LT(MsSince(start), 500u) << "cycle " << cycle;
    }
    for (uint8_t v : TakeReceived())
        ASSERT_EQ(v, 0x42);
}

// Bytes that come in many small pieces: all arrive in order, and the
// reader does not start a comm-event wait for each piece. Under Wine every
// such wait on a pty fails after a few milliseconds, and each failed one
// keeps some memory for good (megabytes an hour when each piece had one).
TEST_F(WinePort, ManySmallPiecesWithoutAWaitEach)
{
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    ASSERT_TRUE(Opened(port, port_.c_str()));
    // What an earlier test left on its way through socat comes now, or never.
    Sleep(300);
    TakeReceived();
    const uint32_t waitsBefore = reader.commWaits.load();
    const std::vector<uint8_t> sent = Pattern(1500, 3);
    for (size_t at = 0; at < sent.size(); at += 3) {
        ASSERT_TRUE(peer.Write(std::vector<uint8_t>(sent.begin() + at, sent.begin() + at + 3)));
        Sleep(4);
    }
    EXPECT_EQ(TakeReceived(sent.size(), 5000), sent);
    EXPECT_LT(reader.commWaits.load() - waitsBefore, 20u) << "for 500 pieces";
}

// One port and one reader thread for the whole program, joined at its end.
int main(int argc, char** argv)
{
    InitializeCriticalSection(&RecordLock);
    if (!Succeeded(MakeSerialPort(port)) || !Succeeded(MakeReader(reader, port, ByteSink{nullptr, Record})) ||
        !Succeeded(StartThread(readerThread, [](void*) { RunReader(reader); }, nullptr)))
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ClosePort(port);
    StopReader(reader);
    JoinThread(readerThread);
    DestroyReader(reader);
    DestroySerialPort(port);
    return result;
}
