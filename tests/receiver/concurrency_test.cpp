// The real assembler thread on the real platform wake-ups, with the test in
// the reader's place. Built with ThreadSanitizer too: the unlocked reads of
// the frame at the front must be ordered by the fill count alone, and an
// opening of the port racing the hand-over of frames must neither lose a
// frame of the new opening nor corrupt one.
#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>

#include "link/frame_receiver.h"
#include "tests/support/frame_sink.h"
#include "tests/support/frames.h"

namespace {

clockid_t assemblerClock;
FrameRecorder recorder;
Receiver receiver;

// A receiver and its assembler thread for each case, ended with it.
class AssemblerThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Succeeded(MakeReceiver(receiver, RecordingSink(recorder), SystemCalls)));
        assembler = std::thread([] { RunAssembler(receiver); });
        pthread_getcpuclockid(assembler.native_handle(), &assemblerClock);
        TakeFrames(recorder);
    }
    void TearDown() override
    {
        StopAssembler(receiver);
        assembler.join();
        DestroyReceiver(receiver);
        receiver.~Receiver();
        new (&receiver) Receiver;
    }
    std::thread assembler;
};

long AssemblerCpuMicroseconds()
{
    timespec t{};
    clock_gettime(assemblerClock, &t);
    return t.tv_sec * 1000000L + t.tv_nsec / 1000;
}

// One read, as the reader makes it. Waiting for room keeps every byte: these
// tests are about the hand-over between threads, not the full-buffer rule.
// An assembler that never wakes leaves no room: the test ends there.
void Feed(const uint8_t* bytes, uint32_t length, uint32_t session)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (receiver.fill.load() + length > MaxFrameBytes) {
        if (std::chrono::steady_clock::now() > end) {
            std::fprintf(stderr, "the assembler took nothing for 10 s\n");
            std::abort();
        }
        std::this_thread::yield();
    }
    AppendBytes(receiver, bytes, length, session);
}

bool WaitForDelivered(size_t count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (FrameCount(recorder) < count && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return FrameCount(recorder) >= count;
}

// Frame n carries its number in its text, and its size varies with n.
std::vector<uint8_t> NumberedFrame(int n)
{
    std::string text = std::to_string(n) + ".";
    text.append(static_cast<size_t>(8 + (n * 37) % 300), static_cast<char>('a' + n % 26));
    return MakeReply(0x06, 0x00, text);
}

int FrameNumber(const std::vector<uint8_t>& frame)
{
    return std::stoi(std::string(frame.begin() + 7, frame.end()));
}

uint32_t session = 100;

TEST_F(AssemblerThread, WaitingCostsNoProcessorTime)
{
    const auto frame = MakeReply(0x06, 0x00, std::string(32, 'x'));   // 41 bytes
    long before = AssemblerCpuMicroseconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long idle = AssemblerCpuMicroseconds() - before;

    Feed(frame.data(), 12, ++session);
    before = AssemblerCpuMicroseconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long started = AssemblerCpuMicroseconds() - before;
    EXPECT_EQ(receiver.fill.load(), 12u);

    // Generous for the sanitizer builds; a polling loop would use a second.
    EXPECT_LT(idle, 5000) << "µs of processor time in one idle second";
    EXPECT_LT(started, 5000) << "µs of processor time in one second with a started frame";
    Feed(frame.data() + 12, 29, session);
    ASSERT_TRUE(WaitForDelivered(1));
    EXPECT_EQ(TakeFrames(recorder).front(), frame);
}

// Openings of the port at random frame boundaries, reads cut at random
// points (never leaving fewer than 8 bytes of a frame alone at the front,
// which would fall under the 50 ms rule on a slow machine). Within each
// opening the frames delivered are the first ones of it in order, each
// whole; the last opening's frames all arrive.
TEST_F(AssemblerThread, OpeningsRacingTheHandOver)
{
    constexpr int FrameCount = 3000;
    std::mt19937 rng(20261207);
    std::vector<uint32_t> sessionOf(FrameCount);
    for (int n = 0; n < FrameCount; ++n) {
        if (n == 0 || rng() % 40 == 0)
            ++session;
        sessionOf[n] = session;
        const auto frame = NumberedFrame(n);
        const size_t cut = rng() % frame.size();
        if (cut >= MinFrameBytes && cut < frame.size()) {
            Feed(frame.data(), static_cast<uint32_t>(cut), sessionOf[n]);
            Feed(frame.data() + cut, static_cast<uint32_t>(frame.size() - cut), sessionOf[n]);
        } else {
            Feed(frame.data(), static_cast<uint32_t>(frame.size()), sessionOf[n]);
        }
    }
    int last = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::vector<std::vector<uint8_t>> got;
    while (last != FrameCount - 1 && std::chrono::steady_clock::now() < end) {
        for (auto& frame : TakeFrames(recorder)) {
            last = FrameNumber(frame);
            got.push_back(std::move(frame));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(last, FrameCount - 1);
    int expected = 0;
    for (const auto& frame : got) {
        const int n = FrameNumber(frame);
        ASSERT_EQ(frame, NumberedFrame(n));
        // A gap may only skip the rest of an opening.
        if (n != expected) {
            ASSERT_GT(n, expected);
            ASSERT_NE(sessionOf[n], sessionOf[expected]) << "frame " << expected << " lost";
            ASSERT_TRUE(n == 0 || sessionOf[n - 1] != sessionOf[n]) << "frame " << n - 1 << " lost";
        }
        expected = n + 1;
    }
}

}  // namespace
