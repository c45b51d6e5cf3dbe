// The whole receive path under Wine: the Win32 port, ReaderThread and
// AssemblerThread (started as the dialog starts them) and HandleReplyFrame,
// with recording reply operations. receive-wine-test.sh maps QV_PORT and
// QV_PEER to the two ends of a pty pair; the test plays the device on QV_PEER
// with plain overlapped Win32 calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "link/frame_receiver.h"
#include "link/platform.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "tests/support/frames.h"
#include "tests/support/reply_recorder.h"
#include "tests/wine/com_peer_win32.h"
#include "ui/texts.h"

namespace {

// Generous: Wine on a shared machine.
constexpr DWORD WaitLimitMs = 5000;

void StartReceiverOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    StartReceiver();
}

std::vector<ReplyEvent> WaitForEvents(size_t count)
{
    const DWORD start = GetTickCount();
    while (ReplyEventCount() < count && GetTickCount() - start < WaitLimitMs)
        Sleep(1);
    return TakeReplyEvents();
}

class WineRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string port = Env("QV_PORT");
        const std::string peer = Env("QV_PEER");
        if (port.empty() || peer.empty())
            GTEST_SKIP() << "no ports mapped";
        ASSERT_TRUE(peer_.Open(peer));
        ASSERT_TRUE(OpenPort(port.c_str()));
        StartReceiverOnce();
        TakeReplyEvents();
    }
    void TearDown() override { ClosePort(); }

    ComPeer peer_;
};

TEST_F(WineRoundTrip, RepliesWholeSplitAndTwoAtOnceAreDispatched)
{
    ASSERT_TRUE(peer_.Write(Bytes({0x55, 0xAA, 0x02, 0x00, 0x00, 0x0E, 0x00, 0x00, 0xC0, 0xA8,
                                   0x01, 0x0A, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01,
                                   0xAA, 0x73})));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::NetConfigShown);
    EXPECT_EQ(events[0].config.ipAddress, 0xC0A8010Au);
    EXPECT_EQ(events[0].config.gateway, 0xC0A80101u);

    // Split after 10 bytes, with a pause far longer than the 50 ms a start
    // of fewer than 8 bytes would be given.
    auto password = MakeReply(0x0A, 0x00, std::string("secret\0", 7));
    ASSERT_TRUE(peer_.Write(std::vector<uint8_t>(password.begin(), password.begin() + 10)));
    Sleep(300);
    EXPECT_EQ(ReplyEventCount(), 0u);
    ASSERT_TRUE(peer_.Write(std::vector<uint8_t>(password.begin() + 10, password.end())));
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::AdminPassword);
    EXPECT_EQ(events[0].text, "secret");

    auto two = Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4});
    auto notice = Bytes({0x55, 0xAA, 0x0C, 0x00, 0x00, 0x01, 0x00, 0x91, 0x35});
    two.insert(two.end(), notice.begin(), notice.end());
    ASSERT_TRUE(peer_.Write(two));
    events = WaitForEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, ReplyKind::HeartbeatReply);
    EXPECT_EQ(events[1].kind, ReplyKind::Notice);
    EXPECT_EQ(events[1].text, texts::PasswordChanged);
}

TEST_F(WineRoundTrip, LargestReplyArrivesWhole)
{
    std::string longest(1015, 'L');
    ASSERT_TRUE(peer_.Write(MakeReply(0x06, 0x00, longest)));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, longest);
}

TEST_F(WineRoundTrip, StalePieceIsDroppedAndTheNextReplyFound)
{
    ASSERT_TRUE(peer_.Write(Bytes({0x55, 0xAA, 0x08})));
    Sleep(500);
    EXPECT_EQ(AssemblyFill.load(), 0u);
    ASSERT_TRUE(peer_.Write(Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4})));
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::HeartbeatReply);
}

TEST_F(WineRoundTrip, RequestsReachTheDeviceByteForByte)
{
    SendHeartbeat();
    EXPECT_EQ(peer_.Read(10, WaitLimitMs),
              Bytes({0x55, 0xAA, 0x07, 0x00, 0x00, 0x02, 0x00, 0x03, 0x6D, 0xE0}));
    SendShellCommand("route");
    EXPECT_EQ(peer_.Read(14, WaitLimitMs),
              Bytes({0x55, 0xAA, 0x05, 0x00, 0x00, 0x06, 0x72, 0x6F, 0x75, 0x74, 0x65, 0x00,
                     0x8A, 0xA9}));
    SendSetNetConfig(false, 0xC0A8010A, 0xFFFFFF00, 0xC0A80101);
    auto frame = peer_.Read(29, WaitLimitMs);
    ASSERT_EQ(frame.size(), 29u);
    EXPECT_EQ(frame[27], 0xD4);
    EXPECT_EQ(frame[28], 0x1D);
    SendSetAdminPassword("0123456789abcdefXYZ");
    frame = peer_.Read(24, WaitLimitMs);
    ASSERT_EQ(frame.size(), 24u);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 22), "0123456789abcdef");
    EXPECT_TRUE(CheckFrame(frame.data(), 24));
}

}  // namespace
