// The reader thread over a pty pair, with a recording byte sink in place of
// the receiver: every byte arrives once, in order, in reads of at most 1024;
// closing ends its wait at once; after a close it never touches the old
// descriptor, not even when the number is handed out again.
#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "link/reader.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/port_state.h"

namespace {

std::mutex RecordLock;
std::vector<uint8_t> Received;
uint32_t LargestRead = 0;
std::atomic<uint32_t> Appends{0};
std::set<uint32_t> Openings;   // of the openings the appended bytes came from

void Record(void*, const uint8_t* bytes, uint32_t count, uint32_t opening)
{
    std::lock_guard<std::mutex> hold(RecordLock);
    Received.insert(Received.end(), bytes, bytes + count);
    LargestRead = std::max(LargestRead, count);
    Openings.insert(opening);
    Appends.fetch_add(1);
}

size_t ReceivedSize()
{
    std::lock_guard<std::mutex> hold(RecordLock);
    return Received.size();
}

std::vector<uint8_t> TakeReceived()
{
    std::lock_guard<std::mutex> hold(RecordLock);
    std::vector<uint8_t> out;
    out.swap(Received);
    return out;
}

bool WaitForReceived(size_t want, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (ReceivedSize() < want) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        usleep(1000);
    }
    return true;
}

std::vector<Result> Removals;   // under RecordLock
std::vector<uint32_t> RemovedOpenings;

void RecordRemoval(void*, const Result& why, uint32_t opening)
{
    std::lock_guard<std::mutex> hold(RecordLock);
    Removals.push_back(why);
    RemovedOpenings.push_back(opening);
}

SerialPort port;
clockid_t ReaderClock;

// Processor time the reader spends during `ms` of wall time.
long ReaderCpuMsOver(int ms)
{
    timespec before{};
    timespec after{};
    clock_gettime(ReaderClock, &before);
    usleep(static_cast<useconds_t>(ms) * 1000);
    clock_gettime(ReaderClock, &after);
    return (after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000;
}

// A port and a reader thread for each case; the thread ends with it.
class ReaderThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Succeeded(MakeSerialPort(port)));
        ASSERT_TRUE(Succeeded(MakeReader(reader, port, ByteSink{nullptr, Record})));
        reader.removal = RemovalSink{nullptr, RecordRemoval};
        {
            std::lock_guard<std::mutex> hold(RecordLock);
            Removals.clear();
            RemovedOpenings.clear();
        }
        thread = std::thread([this] { RunReader(reader); });
        pthread_getcpuclockid(thread.native_handle(), &ReaderClock);
        TakeReceived();
    }
    void TearDown() override
    {
        ClosePort(port);
        StopReader(reader);
        thread.join();
        DestroyReader(reader);
        DestroySerialPort(port);
    }
    ::Reader reader;
    std::thread thread;
};

}  // namespace

TEST_F(ReaderThread, DeliversEveryByteInOrderInReadsOfAtMost1024)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));

    std::vector<uint8_t> sent(10000);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 7 + i / 256);
    ASSERT_TRUE(WriteAll(pty.master, sent));
    ASSERT_TRUE(WaitForReceived(sent.size(), 3000));
    usleep(20 * 1000);
    EXPECT_EQ(TakeReceived(), sent);
    EXPECT_LE(LargestRead, MaxReadSize);
    EXPECT_GT(LargestRead, 0u);
}

TEST_F(ReaderThread, CloseWhileWaitingReturnsPromptlyAndNothingMoreIsRead)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));
    ASSERT_TRUE(WriteAll(pty.master, {1, 2, 3}));
    ASSERT_TRUE(WaitForReceived(3, 1000));
    usleep(20 * 1000);  // the reader is back in its wait

    const auto start = std::chrono::steady_clock::now();
    ClosePort(port);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start).count(), 200);

    TakeReceived();
    ASSERT_TRUE(WriteAll(pty.master, {4, 5, 6}));
    usleep(50 * 1000);
    EXPECT_EQ(ReceivedSize(), 0u);
    EXPECT_EQ(ReadFor(pty.slave, 4, 200), (std::vector<uint8_t>{4, 5, 6}));
}

TEST_F(ReaderThread, RecycledDescriptorNumberIsLeftAlone)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));
    ClosePort(port);

    // The lowest free numbers now include the port's old one; data waiting
    // on any of them must stay there.
    int pipes[4][2];
    for (auto& p : pipes) {
        ASSERT_EQ(pipe(p), 0);
        ASSERT_EQ(write(p[1], "keep", 4), 4);
    }
    usleep(50 * 1000);
    EXPECT_EQ(ReceivedSize(), 0u);
    for (auto& p : pipes) {
        char back[8] = {};
        EXPECT_EQ(read(p[0], back, sizeof back), 4);
        close(p[0]);
        close(p[1]);
    }
}

TEST_F(ReaderThread, OpenCloseCyclesWhileTheFarEndKeepsSending)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const uint8_t chunk[64] = {};
        while (!stop.load()) {
            if (write(pty.master, chunk, sizeof chunk) < 0)
                usleep(200);
        }
    });

    const uint32_t appendsBefore = Appends.load();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(Opened(port, pty.path.c_str()));
        usleep(static_cast<useconds_t>(200 + (cycle % 7) * 150));
        if (cycle % 3 == 0)
            ClosePort(port);
    }
    ClosePort(port);
    EXPECT_GT(Appends.load(), appendsBefore);
    {
        // Each opening's bytes are told apart from the earlier ones'.
        std::lock_guard<std::mutex> hold(RecordLock);
        EXPECT_GT(Openings.size(), 20u);
    }

    // After the last close the reader delivers nothing more, though the far
    // end is still sending.
    usleep(20 * 1000);
    const size_t settled = ReceivedSize();
    usleep(50 * 1000);
    EXPECT_EQ(ReceivedSize(), settled);
    stop.store(true);
    sender.join();
    for (uint8_t v : TakeReceived())
        ASSERT_EQ(v, 0);
}

TEST_F(ReaderThread, IdlesWithoutEatingTheProcessorClosedQuietOrHungUp)
{
    // A waiting reader costs nothing; one that polled each millisecond would
    // show several milliseconds here.
    EXPECT_LT(ReaderCpuMsOver(500), 3) << "no port open";

    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));
    EXPECT_LT(ReaderCpuMsOver(500), 3) << "open, nothing arriving";

    // The far end goes away: every wait and read now fails at once, and only
    // the sleep after each failure keeps the reader from spinning.
    close(pty.master);
    pty.master = -1;
    close(pty.slave);
    pty.slave = -1;
    EXPECT_LT(ReaderCpuMsOver(500), 30) << "line hung up";
    const auto start = std::chrono::steady_clock::now();
    ClosePort(port);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start).count(), 200);
}

// A pseudo-terminal whose far end closes goes as a pulled adapter does: the
// line hangs up and the kernel removes its node. The reader tells it once,
// at once, with the system's reason, and then waits without spinning; a
// line that is only quiet is never told removed.
TEST_F(ReaderThread, TellsAVanishedLineOnceAtOnce)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(Opened(port, pty.path.c_str()));
    usleep(200 * 1000);
    {
        std::lock_guard<std::mutex> hold(RecordLock);
        EXPECT_TRUE(Removals.empty()) << "a quiet line is not a removed one";
    }
    const auto closed = std::chrono::steady_clock::now();
    close(pty.master);
    pty.master = -1;
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(RecordLock);
            if (!Removals.empty())
                break;
        }
        ASSERT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(1)) << "not told within 1 s";
        usleep(1000);
    }
    EXPECT_LT(ReaderCpuMsOver(300), 3) << "a removed line is not tried again and again";
    std::lock_guard<std::mutex> hold(RecordLock);
    ASSERT_EQ(Removals.size(), 1u) << "told once";
    EXPECT_EQ(Removals[0].status, Status::Removed);
    EXPECT_EQ(Removals[0].osError, ENOENT) << Removals[0].what;
    EXPECT_EQ(RemovedOpenings[0], PortOpenings(port));
}
