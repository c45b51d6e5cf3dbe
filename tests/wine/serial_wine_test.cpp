// The Win32 serial port and reader thread under Wine, over COM ports that
// serial-wine-test.sh maps to the two ends of a socat pty pair:
//   QV_PORT  the port under test (\\.\COMn), QV_PEER  the far end, opened
//   here with plain Win32 calls to play the device, QV_EXPECT_MASK  what the
//   probe must report.
// A test whose variable is not set is skipped (the script runs the probe
// once more without any port mapped).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/frame_receiver.h"
#include "link/serial_port.h"
#include "tests/wine/com_peer_win32.h"

std::array<uint8_t, StagingBufferSize> StagingBuffer;
uint32_t StagingCount;
uint32_t StagingSession;

namespace {

CRITICAL_SECTION RecordLock;
std::vector<uint8_t> Received;
std::atomic<uint32_t> Appends{0};
uint32_t LargestRead = 0;

size_t ReceivedSize()
{
    EnterCriticalSection(&RecordLock);
    const size_t n = Received.size();
    LeaveCriticalSection(&RecordLock);
    return n;
}

std::vector<uint8_t> TakeReceived()
{
    std::vector<uint8_t> out;
    EnterCriticalSection(&RecordLock);
    out.swap(Received);
    LeaveCriticalSection(&RecordLock);
    return out;
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 31 + seed + i / 251);
    return v;
}

class WinePort : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = Env("QV_PORT");
        peerPath_ = Env("QV_PEER");
        if (port_.empty() || peerPath_.empty())
            GTEST_SKIP() << "no ports mapped";
    }
    void TearDown() override { ClosePort(); }

    std::string port_;
    std::string peerPath_;
};

DWORD WINAPI ReaderEntry(void*)
{
    ReaderThread();
}

HANDLE StartReaderOnce()
{
    static HANDLE thread = CreateThread(nullptr, 0, ReaderEntry, nullptr, 0, nullptr);
    return thread;
}

uint64_t ThreadCpuMs(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME& f) {
        return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

void AppendStagedBytes()
{
    EnterCriticalSection(&RecordLock);
    Received.insert(Received.end(), StagingBuffer.begin(), StagingBuffer.begin() + StagingCount);
    if (StagingCount > LargestRead)
        LargestRead = StagingCount;
    LeaveCriticalSection(&RecordLock);
    Appends.fetch_add(1);
}

TEST(WineProbe, ReportsExactlyTheMappedPorts)
{
    const std::string expected = Env("QV_EXPECT_MASK");
    if (expected.empty())
        GTEST_SKIP() << "QV_EXPECT_MASK not set";
    EXPECT_EQ(EnumeratePorts(), static_cast<uint32_t>(std::strtoul(expected.c_str(), nullptr, 0)));
    EXPECT_FALSE(IsPortOpen()) << "the probe leaves nothing open";
}

TEST_F(WinePort, OpenWriteCloseReopenAndBytesArriveExactly)
{
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    ASSERT_TRUE(OpenPort(port_.c_str()));
    EXPECT_TRUE(IsPortOpen());

    const std::vector<uint8_t> first = Pattern(700, 1);
    WritePort(first.data(), static_cast<uint32_t>(first.size()));
    EXPECT_EQ(peer.Read(first.size(), 3000), first);

    ClosePort();
    EXPECT_FALSE(IsPortOpen());
    ClosePort();
    EXPECT_FALSE(IsPortOpen());

    ASSERT_TRUE(OpenPort(port_.c_str()));
    const std::vector<uint8_t> second = {0x55, 0xAA, 0x07, 0x00, 0x00, 0x00, 0x12, 0x34};
    WritePort(second.data(), static_cast<uint32_t>(second.size()));
    EXPECT_EQ(peer.Read(second.size(), 3000), second);

    // Opening the open port again closes and reopens it.
    ASSERT_TRUE(OpenPort(port_.c_str()));
    WritePort(second.data(), static_cast<uint32_t>(second.size()));
    EXPECT_EQ(peer.Read(second.size(), 3000), second);
}

TEST_F(WinePort, MissingPathsAndPortsFail)
{
    ASSERT_TRUE(OpenPort(port_.c_str()));
    EXPECT_FALSE(OpenPort(nullptr));
    EXPECT_TRUE(IsPortOpen()) << "a null path leaves the open port open";

    EXPECT_FALSE(OpenPort("\\\\.\\COM7"));
    EXPECT_FALSE(IsPortOpen()) << "a failed open leaves the port closed";
    ClosePort();

    const DWORD start = GetTickCount();
    const std::vector<uint8_t> bytes(4096, 0x5A);
    WritePort(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_LT(MsSince(start), 100u) << "no open port: nothing to wait for";
}

TEST_F(WinePort, WriteThatCannotDrainReturnsInAboutOneSecond)
{
    ASSERT_TRUE(OpenPort(port_.c_str()));
    // The far end is not read: socat stops once its side is full, and then
    // our side fills up. Keep writing until a write has to give up.
    const std::vector<uint8_t> block = Pattern(64 * 1024, 3);
    DWORD slowest = 0;
    for (int i = 0; i < 40 && slowest < 900; ++i) {
        const DWORD start = GetTickCount();
        WritePort(block.data(), static_cast<uint32_t>(block.size()));
        slowest = MsSince(start);
        ASSERT_LT(slowest, 3000u);
    }
    EXPECT_GE(slowest, 900u) << "the line never stalled";

    const DWORD start = GetTickCount();
    ClosePort();
    EXPECT_LT(MsSince(start), 1000u);

    // Drain the far end, then the port works as before.
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    while (!peer.Read(1 << 20, 300).empty()) {
    }
    ASSERT_TRUE(OpenPort(port_.c_str()));
    const std::vector<uint8_t> mark = {0x55, 0xAA, 0x01};
    WritePort(mark.data(), static_cast<uint32_t>(mark.size()));
    EXPECT_EQ(peer.Read(mark.size(), 3000), mark);
}

TEST_F(WinePort, ReaderReceivesAndLetsGoOnClose)
{
    HANDLE reader = StartReaderOnce();
    ASSERT_NE(reader, nullptr);
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    TakeReceived();

    ASSERT_TRUE(OpenPort(port_.c_str()));
    Sleep(50);
    const std::vector<uint8_t> sent = Pattern(5000, 7);
    for (size_t at = 0; at < sent.size(); at += 1000)
        ASSERT_TRUE(peer.Write(std::vector<uint8_t>(sent.begin() + at, sent.begin() + at + 1000)));
    const DWORD start = GetTickCount();
    while (ReceivedSize() < sent.size() && MsSince(start) < 5000)
        Sleep(5);
    EXPECT_EQ(TakeReceived(), sent);
    EXPECT_LE(LargestRead, MaxReadSize);

    // An open, quiet port costs the reader next to no processor time.
    const uint64_t cpuBefore = ThreadCpuMs(reader);
    Sleep(1000);
    EXPECT_LT(ThreadCpuMs(reader) - cpuBefore, 300u);

    // Close while the reader waits: prompt, and nothing is read afterwards.
    const DWORD closing = GetTickCount();
    ClosePort();
    EXPECT_LT(MsSince(closing), 500u);
    ASSERT_TRUE(peer.Write({1, 2, 3, 4}));
    Sleep(100);
    EXPECT_EQ(ReceivedSize(), 0u);

    // Handle values freed by the close go to new objects at once; a pipe
    // that may now carry the port's old value keeps its bytes.
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, nullptr, 0));
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(pipeWrite, "keep", 4, &n, nullptr));
    Sleep(50);
    DWORD waiting = 0;
    EXPECT_TRUE(PeekNamedPipe(pipeRead, nullptr, 0, nullptr, &waiting, nullptr));
    EXPECT_EQ(waiting, 4u);
    CloseHandle(pipeRead);
    CloseHandle(pipeWrite);

    // Reopen: the bytes sent while closed were purged; new ones come through.
    ASSERT_TRUE(OpenPort(port_.c_str()));
    Sleep(50);
    ASSERT_TRUE(peer.Write({9, 8, 7}));
    const DWORD again = GetTickCount();
    while (ReceivedSize() < 3 && MsSince(again) < 3000)
        Sleep(5);
    EXPECT_EQ(TakeReceived(), (std::vector<uint8_t>{9, 8, 7}));
}

TEST_F(WinePort, OpenCloseCyclesUnderTraffic)
{
    StartReaderOnce();
    ComPeer peer;
    ASSERT_TRUE(peer.Open(peerPath_));
    for (int cycle = 0; cycle < 30; ++cycle) {
        ASSERT_TRUE(OpenPort(port_.c_str()));
        ASSERT_TRUE(peer.Write(std::vector<uint8_t>(100, 0x42)));
        Sleep(static_cast<DWORD>(cycle % 5));
        const DWORD start = GetTickCount();
        ClosePort();
        ASSERT_LT(MsSince(start), 500u) << "cycle " << cycle;
    }
    for (uint8_t v : TakeReceived())
        ASSERT_EQ(v, 0x42);
}

int main(int argc, char** argv)
{
    InitializeCriticalSection(&RecordLock);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
