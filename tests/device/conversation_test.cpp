// The utility's own client side (device client, POSIX port, reader and
// assembler threads) holding a conversation with quorvane-device over its
// pseudo-terminal; replies reach recording fakes of the reply operations.
// Against a real stream what is damaged is dropped and what is whole still
// arrives: every case also proves that its link was alive.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/frame_receiver.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "tests/device/device_process.h"
#include "tests/support/reply_recorder.h"
#include "ui/texts.h"

namespace {

// Waits up to `ms` for `count` events (or the whole `ms` when count is 0).
std::vector<ReplyEvent> Events(size_t count, int ms = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while ((count == 0 || ReplyEventCount() < count) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return TakeReplyEvents();
}

std::string Kinds(const std::vector<ReplyEvent>& events)
{
    std::string s;
    for (const auto& e : events)
        s += "NOPTH"[static_cast<int>(e.kind)];
    return s;
}

class Conversation : public ::testing::Test {
protected:
    DeviceProcess device;

    void Begin(std::vector<std::string> args)
    {
        args.push_back("--quiet");
        ASSERT_TRUE(device.Start(args));
        close(device.fd);   // the utility is the client here
        device.fd = -1;
        ASSERT_TRUE(OpenPort(device.clientPath.c_str()));
        static bool started = false;
        if (!started) {
            started = true;
            StartReceiver();
        }
        TakeReplyEvents();
    }

    void TearDown() override
    {
        ClosePort();
        // Bytes of this case still in the assembly buffer must not reach the next.
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        TakeReplyEvents();
    }
};

TEST_F(Conversation, AllSixRequestsAndTheirReplies)
{
    Begin({});
    SendGetNetConfig();
    SendGetAdminPassword();
    SendSetNetConfig(false, 0x0A000005, 0xFF000000, 0x0A000001);
    SendGetNetConfig();
    SendSetAdminPassword("0123456789abcdefXYZ");   // the 17th byte on is never sent
    SendGetAdminPassword();
    SendHeartbeat();
    auto e = Events(7);
    ASSERT_EQ(Kinds(e), "NPTNTPH");
    EXPECT_EQ(e[0].config.ipAddress, 0xC0A8010Au);
    EXPECT_EQ(e[0].config.gateway, 0xC0A80101u);
    EXPECT_EQ(e[1].text, "admin");
    EXPECT_EQ(e[2].text, texts::NetConfigApplied);
    EXPECT_EQ(e[3].config.ipAddress, 0x0A000005u);
    EXPECT_EQ(e[3].config.subnetMask, 0xFF000000u);
    EXPECT_EQ(e[3].config.gateway, 0x0A000001u);
    EXPECT_EQ(e[4].text, texts::PasswordChanged);
    EXPECT_EQ(e[5].text, "0123456789abcdef");

    // One reply per output line, in order: ping's nine lines.
    SendShellCommand("ping 10.0.0.1 -c 4");
    e = Events(9);
    ASSERT_EQ(Kinds(e), "OOOOOOOOO");
    EXPECT_EQ(e[0].text, "PING 10.0.0.1 (10.0.0.1): 56 data bytes");
    EXPECT_EQ(e[4].text.rfind("64 bytes from 10.0.0.1: seq=3 ", 0), 0u);
    EXPECT_EQ(e[8].text.rfind("round-trip", 0), 0u);
}

TEST_F(Conversation, RepliesInSmallPiecesAreJoined)
{
    Begin({"--fragment", "--seed", "7"});
    for (int i = 0; i < 5; ++i) {
        SendHeartbeat();
        SendGetAdminPassword();
    }
    EXPECT_EQ(Kinds(Events(10)), "HPHPHPHPHP");
}

TEST_F(Conversation, CorruptedRepliesAreDroppedAndTheNextOneStillArrives)
{
    Begin({"--corrupt-every", "2"});
    for (int i = 0; i < 6; ++i) {
        SendHeartbeat();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    EXPECT_EQ(Kinds(Events(0, 500)), "HHH");
}

// Stray bytes in front of a reply make the receiver throw away what it holds,
// the reply with it, unless the noise alone already filled a frame's worth
// and went first. Nothing damaged may be dispatched, and some replies must
// get through.
TEST_F(Conversation, NoiseNeverBecomesAReply)
{
    Begin({"--noise", "--seed", "3"});
    std::vector<ReplyEvent> e;
    for (int i = 0; i < 40 && e.size() < 2; ++i) {
        SendGetAdminPassword();
        for (const auto& got : Events(0, 80))
            e.push_back(got);
    }
    ASSERT_GE(e.size(), 2u);
    for (const auto& got : e)
        EXPECT_EQ(got.kind == ReplyKind::AdminPassword ? got.text : "?", "admin");
    EXPECT_NE(ReadWholeFile(device.framesLog).find(" TXN "), std::string::npos);
}

TEST_F(Conversation, RefusedAndUnansweredRequestsShowNothing)
{
    Begin({"--status", "1=1", "--status", "7=1", "--status", "9=1", "--status", "11=1"});
    SendGetNetConfig();
    SendGetAdminPassword();
    SendHeartbeat();
    SendSetAdminPassword("x");
    SendShellCommand("echo alive");   // answered with status 0: the link works
    const auto e = Events(0, 500);
    ASSERT_EQ(Kinds(e), "O");
    EXPECT_EQ(e[0].text, "alive");
}

}  // namespace
