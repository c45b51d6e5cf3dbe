// The assembling rules, driven pass by pass: bytes go in as the reader puts
// them (StagingBuffer, StagingCount, AppendStagedBytes), frames come out
// through a recording HandleReplyFrame, and the fake sleep counts the
// milliseconds the assembler would have waited.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "link/frame_receiver.h"
#include "tests/receiver/frame_sink.h"
#include "tests/support/fake_platform.h"
#include "tests/support/frames.h"

namespace {

// One read of the reader thread.
void Feed(const std::vector<uint8_t>& bytes)
{
    ASSERT_LE(bytes.size(), StagingBufferSize);
    std::memcpy(StagingBuffer.data(), bytes.data(), bytes.size());
    StagingCount = static_cast<uint32_t>(bytes.size());
    AppendStagedBytes();
    StagingCount = 0;
}

void Passes(int count)
{
    for (int i = 0; i < count; ++i)
        AssemblerPass();
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t to)
{
    return std::vector<uint8_t>(v.begin() + from, v.begin() + to);
}

std::vector<uint8_t> Concat(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    std::vector<uint8_t> all = a;
    all.insert(all.end(), b.begin(), b.end());
    return all;
}

// A shell reply whose whole frame is `total` bytes, text made of `fill`.
std::vector<uint8_t> ReplyOfSize(size_t total, char fill = 't')
{
    return MakeReply(0x06, 0x00, std::string(total - 9, fill));
}

const std::vector<uint8_t> Heartbeat = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4});

class Assembler : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSleepHook(nullptr);
        ResetReceiverForTest();
        ResetSleepCount();
        TakeDelivered();
    }
    void TearDown() override { SetSleepHook(nullptr); }
};

TEST_F(Assembler, TwoFramesInOneReadFollowEachOtherWithoutSleep)
{
    auto second = MakeReply(0x06, 0x00, "line");
    Feed(Concat(Heartbeat, second));
    Passes(2);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, Heartbeat);
    EXPECT_EQ(got[1].bytes, second);
    EXPECT_EQ(got[0].sleepsBefore, 0u);
    EXPECT_EQ(got[1].sleepsBefore, 0u);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, EmptyBufferSleepsWithoutCounting)
{
    Passes(130);   // not a multiple of 50, so a count that grew would show
    EXPECT_EQ(SleepCount(), 130u);
    // The idle count did not grow while nothing was held: a 3-byte start
    // still gets its full 50 sleeps.
    Feed(Bytes({0x55, 0xAA, 0x08}));
    Passes(49);
    EXPECT_EQ(AssemblyFill.load(), 3u);
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, SplitFrameOfEightOrMoreWaitsWithoutLimitOrSleep)
{
    auto frame = ReplyOfSize(40);
    Feed(Slice(frame, 0, 8));
    Passes(5000);
    EXPECT_EQ(SleepCount(), 0u);
    EXPECT_EQ(AssemblyFill.load(), 8u);
    Feed(Slice(frame, 8, 30));
    Passes(5000);
    EXPECT_TRUE(TakeDelivered().empty());
    Feed(Slice(frame, 30, 40));
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, frame);
    EXPECT_EQ(SleepCount(), 0u);
}

TEST_F(Assembler, SplitFrameBelowEightMustReachEightWithinFiftySleeps)
{
    auto frame = ReplyOfSize(20);
    Feed(Slice(frame, 0, 3));
    Passes(30);
    // More bytes, still below 8, do not restart the count.
    Feed(Slice(frame, 3, 7));
    Passes(19);
    EXPECT_EQ(AssemblyFill.load(), 7u);
    Feed(Slice(frame, 7, 20));
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, frame);
    EXPECT_EQ(SleepCount(), 49u);

    // The same split one sleep slower is thrown away whole.
    Feed(Slice(frame, 0, 3));
    Passes(30);
    Feed(Slice(frame, 3, 7));
    Passes(20);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    Feed(Slice(frame, 7, 20));
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);   // the rest alone does not start with 55 AA
    EXPECT_TRUE(TakeDelivered().empty());
}

TEST_F(Assembler, StrayByteInFrontDiscardsTheFrameToo)
{
    Feed(Concat(Bytes({0x00}), Heartbeat));
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    EXPECT_TRUE(TakeDelivered().empty());
    // The next frame is found again.
    Feed(Heartbeat);
    Passes(1);
    EXPECT_EQ(TakeDelivered().size(), 1u);
}

TEST_F(Assembler, StrayPieceAloneIsDiscardedAfterFiftySleeps)
{
    Feed(Bytes({0x13, 0x37, 0x55}));
    Passes(49);
    EXPECT_EQ(AssemblyFill.load(), 3u);
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    EXPECT_EQ(SleepCount(), 50u);
    EXPECT_TRUE(TakeDelivered().empty());
}

TEST_F(Assembler, FrameBehindAStrayPieceIsDiscardedWithIt)
{
    Feed(Bytes({0x13, 0x37, 0x55}));
    Passes(10);
    Feed(Heartbeat);
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    EXPECT_TRUE(TakeDelivered().empty());
}

// Bytes that arrive during the 50th sleep go with the stale piece: the test
// after the sleep asks only whether anything is held.
TEST_F(Assembler, BytesArrivingDuringTheLastSleepAreDiscardedToo)
{
    Feed(Bytes({0x55}));
    Passes(49);
    SetSleepHook([] { Feed(Heartbeat); });
    Passes(1);
    SetSleepHook(nullptr);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    Passes(100);
    EXPECT_TRUE(TakeDelivered().empty());
}

TEST_F(Assembler, LargestFrameIsDelivered)
{
    auto frame = ReplyOfSize(1024);
    ASSERT_EQ(frame[4], 0x03);
    ASSERT_EQ(frame[5], 0xF8);
    Feed(frame);
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, frame);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, FullBufferStoresNothingOfAFurtherRead)
{
    auto frame = ReplyOfSize(1024);
    Feed(frame);
    Feed(Heartbeat);
    EXPECT_EQ(AssemblyFill.load(), 1024u);
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, frame);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    Passes(100);
    EXPECT_TRUE(TakeDelivered().empty());
}

TEST_F(Assembler, ReadIntoAlmostFullBufferKeepsOnlyWhatFits)
{
    auto frame = ReplyOfSize(1024, 'a');
    Feed(Slice(frame, 0, 1000));
    // 24 bytes complete the frame; the other 1000 of this read are dropped.
    std::vector<uint8_t> read = Slice(frame, 1000, 1024);
    auto more = ReplyOfSize(1000, 'b');
    read.insert(read.end(), more.begin(), more.end());
    ASSERT_EQ(read.size(), 1024u);
    Feed(read);
    EXPECT_EQ(AssemblyFill.load(), 1024u);
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, frame);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, BadChecksumFrameIsConsumedAndTheNextStillFound)
{
    auto bad = MakeReply(0x06, 0x00, "broken");
    bad[8] ^= 0x01;
    auto good = MakeReply(0x06, 0x00, "fine");
    Feed(Concat(bad, good));
    Passes(2);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, bad);
    EXPECT_EQ(got[1].bytes, good);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, StartedFrameStaysAndLaterBytesExtendIt)
{
    auto first = ReplyOfSize(60);
    auto second = MakeReply(0x0A, 0x00, std::string("pw\0", 3));
    // As after a close in mid-frame: the start stays put however long.
    Feed(Slice(first, 0, 12));
    Passes(10000);
    EXPECT_EQ(AssemblyFill.load(), 12u);
    Feed(Concat(Slice(first, 12, 60), second));
    Passes(2);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes, first);
    EXPECT_EQ(got[1].bytes, second);
}

TEST_F(Assembler, OversizedDeclarationIsDroppedAndLaterFramesFound)
{
    // Declared payload 1017: the frame could never fit the buffer.
    std::vector<uint8_t> oversized = Bytes({0x55, 0xAA, 0x06, 0x00, 0x03, 0xF9});
    oversized.resize(1017 + 8, 0x20);
    Feed(Slice(oversized, 0, 64));
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    // The rest of it arrives as noise without 55 AA at the front and goes
    // too; its last byte alone goes with the stale-piece rule.
    for (size_t at = 64; at < oversized.size(); at += 64) {
        Feed(Slice(oversized, at, std::min(oversized.size(), at + 64)));
        Passes(1);
    }
    EXPECT_EQ(AssemblyFill.load(), 1u);
    Passes(IdleSleepLimit);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    Feed(Heartbeat);
    Passes(1);
    auto got = TakeDelivered();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Heartbeat);

    // The largest declaration, 0xFFFF, the same.
    Feed(Bytes({0x55, 0xAA, 0x06, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
    Passes(1);
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(Assembler, StagingCountZeroAppendsNothing)
{
    StagingBuffer[0] = 0x55;
    StagingCount = 0;
    AppendStagedBytes();
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

}  // namespace
