// The utility's own client side (device client, POSIX port, reader and
// assembler threads) holding a conversation with quorvane-device over its
// pseudo-terminal. Replies reach recording fakes of the reply operations.
// The fault modes show the receiver's discard rules at work against a real
// stream: what is damaged is dropped, what is whole is still delivered.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/frame_receiver.h"
#include "link/platform.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "tests/device/device_process.h"
#include "tests/support/reply_recorder.h"
#include "ui/texts.h"

namespace {

constexpr int WaitLimitMs = 5000;

std::vector<ReplyEvent> WaitForEvents(size_t count, int limitMs = WaitLimitMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (ReplyEventCount() < count && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return TakeReplyEvents();
}

std::vector<ReplyEvent> CollectFor(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return TakeReplyEvents();
}

void StartReceiverOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    std::thread(ReaderThread).detach();
    InitReceiveLock();
    std::thread(AssemblerThread).detach();
}

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

// One device per case, with the options of that case; the port is the
// project's own POSIX port opened on the device's pty.
class Conversation : public ::testing::Test {
protected:
    DeviceProcess device;

    void Begin(std::vector<std::string> args)
    {
        args.push_back("--quiet");
        ASSERT_TRUE(device.Start(args));
        // The helper opened the line for itself; the utility is the client here.
        close(device.fd);
        device.fd = -1;
        ASSERT_TRUE(OpenPort(device.clientPath.c_str()));
        StartReceiverOnce();
        TakeReplyEvents();
    }

    void TearDown() override
    {
        ClosePort();
        TakeReplyEvents();
        // Bytes of this case still in the assembly buffer must not reach the next.
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        TakeReplyEvents();
    }
};

TEST_F(Conversation, AllSixRequestsAndTheirReplies)
{
    Begin({"--ip", "192.168.1.10", "--mask", "255.255.255.0", "--gateway", "192.168.1.1",
           "--password", "admin"});

    SendGetNetConfig();
    auto events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    ASSERT_EQ(events[0].kind, ReplyKind::NetConfigShown);
    EXPECT_FALSE(events[0].config.dhcp);
    EXPECT_EQ(events[0].config.ipAddress, Ip(192, 168, 1, 10));
    EXPECT_EQ(events[0].config.subnetMask, Ip(255, 255, 255, 0));
    EXPECT_EQ(events[0].config.gateway, Ip(192, 168, 1, 1));

    SendGetAdminPassword();
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::AdminPassword);
    EXPECT_EQ(events[0].text, "admin");

    SendSetNetConfig(false, Ip(10, 0, 0, 5), Ip(255, 0, 0, 0), Ip(10, 0, 0, 1));
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::Notice);
    EXPECT_EQ(events[0].text, texts::NetConfigApplied);

    SendGetNetConfig();
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].config.ipAddress, Ip(10, 0, 0, 5));
    EXPECT_EQ(events[0].config.subnetMask, Ip(255, 0, 0, 0));
    EXPECT_EQ(events[0].config.gateway, Ip(10, 0, 0, 1));

    // Sixteen bytes fill the field; the seventeenth is never sent.
    SendSetAdminPassword("0123456789abcdefXYZ");
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::Notice);
    EXPECT_EQ(events[0].text, texts::PasswordChanged);
    SendGetAdminPassword();
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "0123456789abcdef");

    SendHeartbeat();
    events = WaitForEvents(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::HeartbeatReply);

    // One reply per output line, in order; the address shown is the new one.
    SendShellCommand("ifconfig");
    events = CollectFor(800);
    ASSERT_GE(events.size(), 3u);
    bool sawAddress = false;
    for (const auto& e : events) {
        EXPECT_EQ(e.kind, ReplyKind::OutputLine);
        if (e.text.find("10.0.0.5") != std::string::npos)
            sawAddress = true;
    }
    EXPECT_TRUE(sawAddress);

    SendShellCommand("ping 10.0.0.1 -c 4");
    events = CollectFor(800);
    int replyLines = 0;
    for (const auto& e : events)
        if (e.text.find("from 10.0.0.1") != std::string::npos)
            ++replyLines;
    EXPECT_EQ(replyLines, 4);
}

TEST_F(Conversation, RepliesInSmallPiecesAreJoined)
{
    // Pieces of 1 to 7 bytes a few ms apart: a start below 8 bytes must grow
    // within 50 sleeps, and does; every reply arrives whole.
    Begin({"--fragment", "--seed", "7"});
    for (int i = 0; i < 5; ++i) {
        SendHeartbeat();
        SendGetAdminPassword();
    }
    auto events = WaitForEvents(10);
    ASSERT_EQ(events.size(), 10u);
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].kind, i % 2 == 0 ? ReplyKind::HeartbeatReply : ReplyKind::AdminPassword);
}

TEST_F(Conversation, CorruptedRepliesAreDroppedAndTheNextOneStillArrives)
{
    Begin({"--corrupt-every", "2"});
    for (int i = 0; i < 6; ++i) {
        SendHeartbeat();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    const auto events = CollectFor(500);
    EXPECT_EQ(events.size(), 3u);
    for (const auto& e : events)
        EXPECT_EQ(e.kind, ReplyKind::HeartbeatReply);
}

TEST_F(Conversation, NoiseNeverBecomesAReply)
{
    // Stray bytes in front of a reply make the receiver discard what it holds,
    // the reply included; nothing damaged may ever be dispatched.
    Begin({"--noise", "--seed", "3"});
    for (int i = 0; i < 8; ++i) {
        SendGetAdminPassword();
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
    }
    const auto events = CollectFor(500);
    EXPECT_LE(events.size(), 8u);
    for (const auto& e : events) {
        EXPECT_EQ(e.kind, ReplyKind::AdminPassword);
        EXPECT_EQ(e.text, "admin");
    }
    // The device did put noise on the line.
    EXPECT_NE(ReadWholeFile(device.framesLog).find(" TXN "), std::string::npos);
}

TEST_F(Conversation, RefusedAndUnansweredRequestsShowNothing)
{
    Begin({"--status", "all=1"});
    SendGetNetConfig();
    SendGetAdminPassword();
    SendHeartbeat();
    SendSetAdminPassword("x");
    EXPECT_TRUE(CollectFor(400).empty());
}

TEST_F(Conversation, OnlyTheNetworkSettingsAnswered)
{
    Begin({"--only-netconfig"});
    SendHeartbeat();
    SendGetAdminPassword();
    SendGetNetConfig();
    const auto events = CollectFor(500);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ReplyKind::NetConfigShown);
}

}  // namespace
