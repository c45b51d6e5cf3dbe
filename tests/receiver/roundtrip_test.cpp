// The whole receive path over a pseudo-terminal: the real port, ReaderThread
// and AssemblerThread (started once, detached, as the dialog starts them) and
// HandleReplyFrame, with recording reply operations. The test plays the
// device on the pty's master side.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/frame_receiver.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/frames.h"
#include "tests/support/reply_recorder.h"
#include "ui/texts.h"

namespace {

// Generous: the sanitizer builds run on a shared machine.
constexpr int WaitLimitMs = 5000;

std::vector<ReplyEvent> WaitForEvents(size_t count)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitLimitMs);
    while (ReplyEventCount() < count && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return TakeReplyEvents();
}

// Nothing further arrives within `ms`.
bool StaysQuiet(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return ReplyEventCount() == 0;
}

class RoundTrip : public ::testing::Test {
protected:
    static PtyPair* line;

    static void SetUpTestSuite()
    {
        line = new PtyPair;
        ASSERT_TRUE(line->Ok());
        ASSERT_TRUE(OpenPort(line->path.c_str()));
        // Started once per process, as the dialog starts them, never joined.
        static bool started = false;
        if (!started) {
            started = true;
            StartReceiver();
        }
    }

    static void TearDownTestSuite()
    {
        ClosePort();
        delete line;
        line = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(line, nullptr);
        ASSERT_TRUE(IsPortOpen());
        ReadFor(line->master, 1 << 16, 20);   // whatever an earlier case left
        TakeReplyEvents();
    }

    void Device(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(WriteAll(line->master, bytes)); }
};

PtyPair* RoundTrip::line = nullptr;

TEST_F(RoundTrip, WholeReplyIsDispatched)
{
    Device(Bytes({0x55, 0xAA, 0x02, 0x00, 0x00, 0x0E, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x0A, 0xFF,
                  0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01, 0xAA, 0x73}));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::NetConfigShown);
    EXPECT_FALSE(events[0].config.dhcp);
    EXPECT_EQ(events[0].config.ipAddress, 0xC0A8010Au);
    EXPECT_EQ(events[0].config.subnetMask, 0xFFFFFF00u);
    EXPECT_EQ(events[0].config.gateway, 0xC0A80101u);
}

TEST_F(RoundTrip, TwoRepliesInOneWriteArriveInOrder)
{
    auto both = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4});
    auto line2 = MakeReply(0x06, 0x00, std::string("eth0\0", 5));
    both.insert(both.end(), line2.begin(), line2.end());
    Device(both);
    auto events = WaitForEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, ReplyKind::HeartbeatReply);
    EXPECT_EQ(events[1].kind, ReplyKind::OutputLine);
    EXPECT_EQ(events[1].text, "eth0");
}

TEST_F(RoundTrip, SplitRepliesAreJoined)
{
    // A start of 8 or more bytes waits as long as it takes.
    auto frame = MakeReply(0x0A, 0x00, std::string("secret\0", 7));
    Device(std::vector<uint8_t>(frame.begin(), frame.begin() + 10));
    EXPECT_TRUE(StaysQuiet(300));
    Device(std::vector<uint8_t>(frame.begin() + 10, frame.end()));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::AdminPassword);
    EXPECT_EQ(events[0].text, "secret");

    // A shorter start must grow to 8 bytes within 50 ms; a few ms is plenty.
    auto notice = Bytes({0x55, 0xAA, 0x04, 0x00, 0x00, 0x01, 0x00, 0x50, 0xD4});
    Device(std::vector<uint8_t>(notice.begin(), notice.begin() + 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Device(std::vector<uint8_t>(notice.begin() + 3, notice.end()));
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::Notice);
    EXPECT_EQ(events[0].text, texts::NetConfigApplied);
}

TEST_F(RoundTrip, StalePieceIsDroppedAndTheNextReplyFound)
{
    Device(Bytes({0x55, 0xAA, 0x08}));
    // Far beyond the 50 one-millisecond sleeps.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(AssemblyFill.load(), 0u);
    Device(Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4}));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::HeartbeatReply);
}

TEST_F(RoundTrip, LargestReplyAndABurst)
{
    std::string longest(1015, 'L');
    Device(MakeReply(0x06, 0x00, longest));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, longest);

    // 20 lines back to back, fewer bytes than the buffer holds, so none may
    // be lost however far the assembler falls behind.
    std::vector<uint8_t> burst;
    for (int i = 0; i < 20; ++i) {
        auto frame = MakeReply(0x06, 0x00, "line " + std::to_string(i) + std::string(1, '\0'));
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    ASSERT_LT(burst.size(), AssemblyBufferSize);
    Device(burst);
    events = WaitForEvents(20);
    ASSERT_EQ(events.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(events[i].text, "line " + std::to_string(i));
}

TEST_F(RoundTrip, BadRepliesShowNothing)
{
    auto bad = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC5});
    auto refused = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x01, 0x91, 0x05});
    bad.insert(bad.end(), refused.begin(), refused.end());
    Device(bad);
    EXPECT_TRUE(StaysQuiet(200));
    EXPECT_EQ(AssemblyFill.load(), 0u);
}

TEST_F(RoundTrip, RequestsReachTheDeviceByteForByte)
{
    SendHeartbeat();
    EXPECT_EQ(ReadFor(line->master, 10, WaitLimitMs),
              Bytes({0x55, 0xAA, 0x07, 0x00, 0x00, 0x02, 0x00, 0x03, 0x6D, 0xE0}));
    SendShellCommand("ifconfig");
    EXPECT_EQ(ReadFor(line->master, 17, WaitLimitMs),
              Bytes({0x55, 0xAA, 0x05, 0x00, 0x00, 0x09, 0x69, 0x66, 0x63, 0x6F, 0x6E, 0x66,
                     0x69, 0x67, 0x00, 0xA5, 0xCC}));
    SendGetNetConfig();
    SendGetAdminPassword();
    EXPECT_EQ(ReadFor(line->master, 16, WaitLimitMs),
              Bytes({0x55, 0xAA, 0x01, 0x00, 0x00, 0x00, 0xD8, 0x01,
                     0x55, 0xAA, 0x09, 0x00, 0x00, 0x00, 0xB8, 0x03}));
    std::string command(1005, 'c');
    SendShellCommand(command.c_str());
    auto frame = ReadFor(line->master, 1014, WaitLimitMs);
    ASSERT_EQ(frame.size(), 1014u);
    EXPECT_TRUE(CheckFrame(frame.data(), 1014));
    // Nothing more than what was sent.
    EXPECT_TRUE(ReadFor(line->master, 1, 50).empty());
}

}  // namespace
