// The assembling rules, driven pass by pass on a receiver of the test's own:
// bytes go in as the reader puts them (AppendBytes), frames come out through
// a recording frame sink, and the fake platform records every wait and
// moves the clock only when told.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "link/frame_receiver.h"
#include "tests/support/fake_platform.h"
#include "tests/support/frame_sink.h"
#include "tests/support/frames.h"

namespace {

using Frames = std::vector<std::vector<uint8_t>>;
using Waits = std::vector<uint32_t>;

FakePlatform platform;
FrameRecorder recorder;
Receiver receiver;

// One read of the reader thread, from the port's `opening`-th opening.
void Feed(const std::vector<uint8_t>& bytes, uint32_t opening = 1)
{
    AppendBytes(receiver, bytes.data(), static_cast<uint32_t>(bytes.size()), opening);
}

void Passes(int count)
{
    for (int i = 0; i < count; ++i)
        AssemblerPass(receiver);
}

Frames TakeDelivered() { return TakeFrames(recorder); }
Waits TakeWaits() { return TakeWaits(platform); }
void AdvanceClock(int64_t microseconds) { platform.now += microseconds; }
uint32_t Fill() { return receiver.fill.load(); }

// A fresh receiver for each case: nothing held, no limit running.
void Restart()
{
    DestroyReceiver(receiver);
    receiver.~Receiver();
    new (&receiver) Receiver;
    platform = FakePlatform{};
    TakeFrames(recorder);
    ASSERT_TRUE(Succeeded(MakeReceiver(receiver, RecordingSink(recorder), FakeCalls(platform))));
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t to)
{
    return std::vector<uint8_t>(v.begin() + from, v.begin() + to);
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A shell reply whose whole frame is `total` bytes, text made of `fill`.
std::vector<uint8_t> ReplyOfSize(size_t total, char fill = 't')
{
    return MakeReply(0x06, 0x00, std::string(total - 9, fill));
}

const std::vector<uint8_t> Heartbeat = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4});

class Assembler : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }
};

TEST_F(Assembler, TwoFramesInOneReadAreHandedOverBackToBack)
{
    auto second = MakeReply(0x06, 0x00, "line");
    Feed(Concat(Heartbeat, second));
    Passes(2);
    EXPECT_EQ(TakeDelivered(), (Frames{Heartbeat, second}));
    EXPECT_TRUE(TakeWaits().empty());   // no wait between them
    EXPECT_EQ(Fill(), 0u);
    Passes(1);
    EXPECT_EQ(TakeWaits(), Waits{WaitForever});   // an empty buffer has no time limit
}

// A start of 1..7 bytes has 50 ms from the first pass that sees it, however
// many bytes join it below 8; the waits are given exactly the time left.
TEST_F(Assembler, PartialStartIsDroppedAtFiftyMillisecondsAndNotBefore)
{
    auto frame = ReplyOfSize(20);
    Feed(Slice(frame, 0, 3));
    Passes(1);
    AdvanceClock(30000);
    Feed(Slice(frame, 3, 7));
    Passes(1);
    AdvanceClock(19999);
    Passes(1);
    EXPECT_EQ(TakeWaits(), (Waits{50, 20, 1}));
    EXPECT_EQ(Fill(), 7u);
    AdvanceClock(1);
    Passes(1);
    EXPECT_EQ(Fill(), 0u);
    Feed(Slice(frame, 7, 20));   // the rest alone does not start with 55 AA
    Passes(2);
    EXPECT_TRUE(TakeDelivered().empty());
    EXPECT_EQ(Fill(), 0u);
}

TEST_F(Assembler, BytesArrivingDuringTheWaitKeepTheStart)
{
    static auto frame = ReplyOfSize(20);
    Feed(Slice(frame, 0, 5));
    platform.waitHook = [](void*) {
        AdvanceClock(49900);
        Feed(Slice(frame, 5, 20));
    };
    Passes(1);
    platform.waitHook = nullptr;
    AdvanceClock(1000);   // past the limit, but 8 bytes are held now
    Passes(1);
    EXPECT_EQ(TakeDelivered(), Frames{frame});
}

TEST_F(Assembler, StartedFrameWaitsWithoutLimitAndWithoutPasses)
{
    auto frame = ReplyOfSize(40);
    Feed(Slice(frame, 0, 8));
    Passes(1);
    AdvanceClock(3600LL * 1000000);
    Passes(1);
    Feed(Slice(frame, 8, 30));
    Passes(1);
    EXPECT_EQ(TakeWaits(), (Waits{WaitForever, WaitForever, WaitForever}));
    EXPECT_EQ(Fill(), 30u);
    Feed(Concat(Slice(frame, 30, 40), Heartbeat));
    Passes(2);
    EXPECT_EQ(TakeDelivered(), (Frames{frame, Heartbeat}));
}

// What cannot begin a frame goes, and everything held goes with it.
TEST_F(Assembler, DiscardRules)
{
    auto oversized = Bytes({0x55, 0xAA, 0x06, 0x00, 0x03, 0xF9, 0x20, 0x20});   // payload 1017
    struct Case {
        const char* name;
        std::vector<uint8_t> read;
    } cases[] = {
        {"stray byte in front", Concat(Bytes({0x00}), Heartbeat)},
        {"0x55 not followed by 0xAA", Bytes({0x55, 0x00, 0x06, 0x00, 0x00, 0x01, 0x00, 0x00})},
        {"frame behind a stray piece", Concat(Bytes({0x13, 0x37, 0x55}), Heartbeat)},
        {"declared total above 1024", Concat(oversized, Heartbeat)},
        {"declared total 0xFFFF", Bytes({0x55, 0xAA, 0x06, 0x00, 0xFF, 0xFF, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Feed(c.read);
        Passes(1);
        EXPECT_EQ(Fill(), 0u);
        // The next frame is found again.
        Feed(Heartbeat);
        Passes(1);
        EXPECT_EQ(TakeDelivered(), Frames{Heartbeat});
    }
}

TEST_F(Assembler, BadChecksumFrameIsConsumedAndTheNextStillFound)
{
    auto bad = MakeReply(0x06, 0x00, "broken");
    bad[8] ^= 0x01;
    auto good = MakeReply(0x06, 0x00, "fine");
    Feed(Concat(bad, good));
    Passes(2);
    EXPECT_EQ(TakeDelivered(), (Frames{bad, good}));
    EXPECT_EQ(Fill(), 0u);
}

TEST_F(Assembler, BufferHoldsAtMost1024Bytes)
{
    auto largest = ReplyOfSize(1024, 'a');
    ASSERT_EQ(largest[4], 0x03);
    ASSERT_EQ(largest[5], 0xF8);
    // 1000 bytes held; a read of 1024 keeps only the 24 that complete the
    // frame, and a further read finds no room at all.
    Feed(Slice(largest, 0, 1000));
    Feed(Concat(Slice(largest, 1000, 1024), ReplyOfSize(1000, 'b')));
    Feed(Heartbeat);
    EXPECT_EQ(Fill(), 1024u);
    Passes(3);
    EXPECT_EQ(TakeDelivered(), Frames{largest});
    EXPECT_EQ(Fill(), 0u);
}

// Bytes held from an earlier opening never join those of the next one, be
// they a started frame or a 1..7 byte start; a frame of the old opening that
// completes before the next opening is still delivered.
TEST_F(Assembler, NextOpeningStartsEmpty)
{
    auto old = ReplyOfSize(41);
    auto password = MakeReply(0x0A, 0x00, std::string("pw\0", 3));
    for (size_t held : {12u, 5u}) {
        SCOPED_TRACE(held);
        Restart();
        Feed(Slice(old, 0, held), 1);
        Passes(1);
        Feed(Concat(Heartbeat, password), 2);
        Passes(3);
        EXPECT_EQ(TakeDelivered(), (Frames{Heartbeat, password}));
        EXPECT_EQ(Fill(), 0u);
    }
    Feed(Slice(old, 0, 20), 3);
    Feed(Slice(old, 20, 41), 3);
    Passes(1);
    Feed(Heartbeat, 4);
    Passes(2);
    EXPECT_EQ(TakeDelivered(), (Frames{old, Heartbeat}));
}

// The reader marks the old bytes while the assembler is still handing over
// a frame from them: the hand-over subtracts only its own frame, and the
// rest of the old bytes still go.
TEST_F(Assembler, OpeningDuringAHandOverDropsOnlyTheOldBytes)
{
    static auto fresh = MakeReply(0x02, 0x00, std::string(13, '\0'));
    Feed(Concat(Heartbeat, Bytes({0x55, 0xAA, 0x06})), 1);
    recorder.hook = [](void*) { Feed(fresh, 2); };
    Passes(3);
    EXPECT_EQ(TakeDelivered(), (Frames{Heartbeat, fresh}));
    EXPECT_EQ(Fill(), 0u);
}

}  // namespace
