// The supervision with the real one-second timer against the device's fault
// modes. Tolerances are generous: Wine under load delivers ticks late.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdlib>

#include "app/resource.h"
#include "tests/gui/gui_harness_win32.h"
#include "ui/config_dialog_win32.h"
#include "ui/texts.h"

using namespace gui;

// Device started with --silent.
TEST(Silent, NoAnswerMessageAfterThreeTicksWithOneHeartbeatThenRelease)
{
    MainWindow();
    ResetBoxes();
    std::atomic<bool> connectedWhileOpen{false};
    std::atomic<uint32_t> heartbeatsAtBox{0};
    size_t mark = LoggedFrames("RX").size();
    SetBoxHook([&](const Box&) {
        heartbeatsAtBox = CountCode(FramesSince(mark, "RX"), 0x07);
        connectedWhileOpen = configDialog.connected;
        Sleep(1500);  // the port stays open until the message is dismissed
        connectedWhileOpen = connectedWhileOpen && configDialog.connected;
    });
    const ULONGLONG opened = GetTickCount64();
    Click(IDC_PORT_TOGGLE);
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 9000));
    const ULONGLONG shown = Boxes()[0].shownAt;
    PumpUntil([] { return !configDialog.connected; }, 3000);
    SetBoxHook(nullptr);

    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, texts::NoAnswer);
    EXPECT_NE(Boxes()[0].caption, texts::NoticeCaption);
    EXPECT_TRUE(Boxes()[0].ownedByDialog);
    EXPECT_GE(shown - opened, 2500u);
    EXPECT_LE(shown - opened, 5000u);
    EXPECT_EQ(heartbeatsAtBox.load(), 1u);
    EXPECT_TRUE(connectedWhileOpen.load());

    // Released: only the port controls change; the status was never set.
    EXPECT_FALSE(configDialog.connected);
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPort);
    EXPECT_TRUE(Enabled(IDC_PORT_LIST));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_FALSE(Enabled(IDC_PASSWORD));
    mark = LoggedFrames("RX").size();
    Pump(3500);
    EXPECT_TRUE(FramesSince(mark, "RX").empty()) << "the timer stopped with the release";
    EXPECT_EQ(Boxes().size(), 1u);
}

// Device started with --heartbeat-stop-after 0 (never answers heartbeats) or
// with --status 7=1 (answers them with a refusal): either way only the
// password reply arms the link, and it is lost ten ticks later.
TEST(LinkLoss, TenTicksAfterTheLastAcceptedReply)
{
    MainWindow();
    ResetBoxes();
    const size_t txMark = LoggedFrames("TX").size();
    Click(IDC_PORT_TOGGLE);
    ASSERT_TRUE(PumpUntil([] { return Text(IDC_STATUS) == texts::Connected; }, 3000));
    const ULONGLONG armed = GetTickCount64();
    ASSERT_TRUE(PumpUntil([] { return !configDialog.connected; }, 16000));
    const ULONGLONG lost = GetTickCount64();
    EXPECT_GE(lost - armed, 9000u);
    EXPECT_LE(lost - armed, 12500u);
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPort);
    EXPECT_FALSE(Enabled(IDC_QUERY_NETWORK));
    EXPECT_FALSE(Enabled(IDC_PASSWORD));
    EXPECT_TRUE(Boxes().empty()) << "a lost link shows no message";

    const uint32_t replies = CountCode(FramesSince(txMark, "TX"), 0x08);
    if (std::getenv("QV_HEARTBEAT_REPLIES_REFUSED") != nullptr) {
        EXPECT_GE(replies, 2u) << "replies came, with a non-zero status";
    } else {
        EXPECT_EQ(replies, 0u);
    }
}

// Device started with --dhcp on.
TEST(DhcpOn, ReplyTicksTheBoxAndLeavesTheAddressesDisabledAndEmpty)
{
    MainWindow();
    OpenPortAndWait();
    EXPECT_EQ(SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Enabled(IDC_DHCP));
    EXPECT_TRUE(Enabled(IDC_SET_NETWORK));
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        EXPECT_FALSE(Enabled(id));
        EXPECT_NE(SendMessageA(Item(id), IPM_ISBLANK, 0, 0), 0);
    }
    EXPECT_EQ(Text(IDC_STATUS), texts::Connected);
}

// No COM port mapped at all.
TEST(NoPorts, EmptyListAndOpeningFails)
{
    MainWindow();
    EXPECT_EQ(SendMessageA(Item(IDC_PORT_LIST), CB_GETCOUNT, 0, 0), 0);
    ResetBoxes();
    Click(IDC_PORT_TOGGLE);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, texts::OpenPortFailed);
    EXPECT_NE(Boxes()[0].caption, texts::NoticeCaption);
    EXPECT_TRUE(Boxes()[0].ownedByDialog);
    EXPECT_FALSE(configDialog.connected);
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPort);
    EXPECT_TRUE(Enabled(IDC_PORT_LIST));
    EXPECT_FALSE(Enabled(IDC_PASSWORD));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
}
