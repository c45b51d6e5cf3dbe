// The supervision with the real one-second timer against the device's fault
// modes (each group of run-gui.sh starts the device as its suite's name
// says), and the dialog without any port. Tolerances are generous: Wine
// under load delivers ticks late.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>

#include "gui/resource.h"
#include "tests/gui/gui_harness_win32.h"
#include "gui/config_dialog_win32.h"
#include "gui/texts.h"

using namespace gui;

namespace {

// Released: only the port controls changed, the status is as it was.
void ExpectReleased()
{
    EXPECT_FALSE(PortIsOpen(State().device));
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPortCaption);
    EXPECT_TRUE(Enabled(IDC_PORT_LIST));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_FALSE(Enabled(IDC_PASSWORD));
}

// Only the password reply arms the link: it is lost ten ticks later without
// a message. Returns the heartbeat replies the device sent meanwhile.
uint32_t LinkLostTenTicksAfterThePasswordReply()
{
    ResetBoxes();
    const size_t txMark = LoggedFrames("TX").size();
    Click(IDC_PORT_TOGGLE);
    EXPECT_TRUE(PumpUntil([] { return Text(IDC_STATUS) == texts::Connected; }, 3000));
    const ULONGLONG armed = GetTickCount64();
    EXPECT_TRUE(PumpUntil([] { return !PortIsOpen(State().device); }, 16000));
    EXPECT_GE(GetTickCount64() - armed, 9000u);
    EXPECT_LE(GetTickCount64() - armed, 12500u);
    ExpectReleased();
    EXPECT_FALSE(Enabled(IDC_QUERY_NETWORK));
    EXPECT_TRUE(Boxes().empty()) << "a lost link shows no message";
    return CountCode(FramesSince(txMark, "TX"), 0x08);
}

}  // namespace

TEST(Silent, NoAnswerMessageAfterThreeTicksWithOneHeartbeatThenRelease)
{
    ResetBoxes();
    std::atomic<bool> connectedWhileOpen{false};
    std::atomic<uint32_t> heartbeatsAtBox{0};
    size_t mark = LoggedFrames("RX").size();
    SetBoxHook([&](const Box&) {
        heartbeatsAtBox = CountCode(FramesSince(mark, "RX"), 0x07);
        connectedWhileOpen = PortIsOpen(State().device);
        Sleep(1500);   // the port stays open until the message is dismissed
        connectedWhileOpen = connectedWhileOpen && PortIsOpen(State().device);
    });
    const ULONGLONG opened = GetTickCount64();
    Click(IDC_PORT_TOGGLE);
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 9000));
    PumpUntil([] { return !PortIsOpen(State().device); }, 3000);
    SetBoxHook(nullptr);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, texts::NoAnswer);
    EXPECT_NE(Boxes()[0].caption, texts::NoticeCaption);
    EXPECT_TRUE(Boxes()[0].ownedByDialog);
    EXPECT_GE(Boxes()[0].shownAt - opened, 2500u);
    EXPECT_LE(Boxes()[0].shownAt - opened, 5000u);
    EXPECT_EQ(heartbeatsAtBox.load(), 1u);
    EXPECT_TRUE(connectedWhileOpen.load());
    ExpectReleased();
    mark = LoggedFrames("RX").size();
    Pump(3500);
    EXPECT_TRUE(FramesSince(mark, "RX").empty()) << "the timer stopped with the release";
    EXPECT_EQ(Boxes().size(), 1u);
}

// --heartbeat-stop-after 0: heartbeats are never answered.
TEST(HeartbeatsIgnored, LinkLostTenTicksAfterThePasswordReply)
{
    EXPECT_EQ(LinkLostTenTicksAfterThePasswordReply(), 0u);
}

// --status 7=1: heartbeats are answered, with a refusal, which arms nothing.
TEST(HeartbeatsRefused, LinkLostTenTicksAfterThePasswordReply)
{
    EXPECT_GE(LinkLostTenTicksAfterThePasswordReply(), 2u);
}

// --dhcp on.
TEST(DhcpOn, ReplyTicksTheBoxAndLeavesTheAddressesDisabledAndEmpty)
{
    OpenPortAndWait();
    EXPECT_EQ(SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Enabled(IDC_DHCP) && Enabled(IDC_SET_NETWORK));
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        EXPECT_FALSE(Enabled(id));
        EXPECT_NE(SendMessageA(Item(id), IPM_ISBLANK, 0, 0), 0);
    }
    EXPECT_EQ(Text(IDC_STATUS), texts::Connected);
}

// No COM port mapped at all.
TEST(NoPorts, EmptyListAndOpeningFails)
{
    EXPECT_EQ(SendMessageA(Item(IDC_PORT_LIST), CB_GETCOUNT, 0, 0), 0);
    ResetBoxes();
    Click(IDC_PORT_TOGGLE);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, std::string(texts::OpenPortFailed) + "\n" + texts::PortMissing);
    EXPECT_NE(Boxes()[0].caption, texts::NoticeCaption);
    EXPECT_TRUE(Boxes()[0].ownedByDialog);
    ExpectReleased();
}
