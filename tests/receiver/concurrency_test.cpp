// The assembler and a feeder in the reader's place, on two threads. Built
// with ThreadSanitizer too: the unlocked reads of the frame at the front must
// be ordered by the fill count alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "link/frame_receiver.h"
#include "tests/receiver/frame_sink.h"
#include "tests/support/fake_platform.h"
#include "tests/support/frames.h"

namespace {

constexpr int FrameCount = 3000;

// Frame n carries its number in its text, and its size varies with n.
std::vector<uint8_t> NumberedFrame(int n)
{
    std::string text = std::to_string(n);
    text.append(static_cast<size_t>(8 + (n * 37) % 300), static_cast<char>('a' + n % 26));
    return MakeReply(0x06, 0x00, text);
}

TEST(AssemblerThreads, FeederAndAssemblerRunConcurrently)
{
    ResetReceiverForTest();
    TakeDelivered();

    std::vector<uint8_t> stream;
    for (int n = 0; n < FrameCount; ++n) {
        auto frame = NumberedFrame(n);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }

    // Reads are cut at random points, but never so that fewer than 8 bytes
    // of a frame could stand alone at the front: that start would be under
    // the 50-sleep limit, and the fake sleep takes no time.
    std::vector<size_t> cuts;
    {
        std::mt19937 rng(20240611);
        size_t frameStart = 0;
        for (int n = 0; n < FrameCount; ++n) {
            const size_t size = NumberedFrame(n).size();
            const size_t offset = rng() % size;
            if (offset >= MinFrameBytes)
                cuts.push_back(frameStart + offset);
            frameStart += size;
            if (rng() % 3 == 0)
                cuts.push_back(frameStart);
        }
        cuts.push_back(stream.size());
    }

    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        size_t at = 0;
        for (size_t cut : cuts) {
            while (at < cut) {
                const uint32_t length = static_cast<uint32_t>(std::min<size_t>(cut - at, MaxReadSize));
                // Waiting for room keeps every byte: this test is about the
                // hand-over between threads, not about the full-buffer rule.
                while (AssemblyFill.load() + length > AssemblyBufferSize)
                    std::this_thread::yield();
                std::memcpy(StagingBuffer.data(), stream.data() + at, length);
                StagingCount = length;
                AppendStagedBytes();
                StagingCount = 0;
                at += length;
            }
        }
        fed.store(true);
    });

    std::thread assembler([&] {
        // The product's AssemblerThread never returns; this loop of the same
        // passes ends once everything fed has been consumed.
        while (!fed.load() || AssemblyFill.load() != 0)
            AssemblerPass();
    });

    feeder.join();
    assembler.join();

    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), static_cast<size_t>(FrameCount));
    for (int n = 0; n < FrameCount; ++n)
        ASSERT_EQ(got[n].bytes, NumberedFrame(n)) << "frame " << n;
}

}  // namespace
