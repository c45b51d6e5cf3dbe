// The dialog with the test itself as the device, on COM5, the far end of the
// dialog's COM3: replies the virtual device would never send on its own
// (bursts of notices, a reply cut off by a close), and long output.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "gui/resource.h"
#include "tests/gui/gui_harness_win32.h"
#include "tests/support/frames.h"
#include "tests/wine/com_peer_win32.h"
#include "gui/config_dialog_win32.h"
#include "gui/texts.h"
#include "session/input_rules.h"

using namespace gui;

namespace {

ComPeer& Device()
{
    static ComPeer peer;
    static bool opened = peer.Open("\\\\.\\COM5");
    EXPECT_TRUE(opened);
    return peer;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> frames)
{
    std::vector<uint8_t> all;
    for (const auto& f : frames)
        all.insert(all.end(), f.begin(), f.end());
    return all;
}

const auto NetConfigReply = MakeReply(0x02, 0x00, std::string("\x00\xC0\xA8\x05\x14\xFF\xFF\xFF\x00\xC0\xA8\x05\x01", 13));
const auto PasswordReply = MakeReply(0x0A, 0x00, std::string("admin\0", 6));

// Opens COM3 and answers the two requests of the opening.
void OpenAndAnswer()
{
    EnsureClosed();
    Device().Read(4096, 100);   // heartbeats of an earlier opening
    ResetBoxes();
    Click(IDC_PORT_TOGGLE);
    ASSERT_EQ(Device().Read(16, 2000).size(), 16u);
    ASSERT_TRUE(Device().Write(Join({NetConfigReply, PasswordReply})));
    ASSERT_TRUE(PumpUntil([] { return Text(IDC_STATUS) == texts::Connected && Enabled(IDC_DHCP); }, 3000));
}

int OpenNoticeBoxes()
{
    int open = 0;
    EnumThreadWindows(
        GetWindowThreadProcessId(Dialog(), nullptr),
        [](HWND w, LPARAM count) -> BOOL {
            char cls[16] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (std::string(cls) == "#32770" && IsWindowVisible(w) && w != State().window)
                ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}

// A device repeating itself: 20 network and 20 password success replies in
// one burst. One box at a time; while the first is open the others wait,
// each text once, and the dialog goes on answering.
TEST(Peer, NoticesOneAtATime)
{
    OpenAndAnswer();
    static std::atomic<int> mostOpen{0};
    static std::atomic<int> unanswered{0};
    SetBoxHook([](const Box&) {
        mostOpen = std::max(mostOpen.load(), OpenNoticeBoxes());
        Sleep(400);   // the burst arrives while the first box is open
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(Dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result))
            ++unanswered;
    });
    std::vector<uint8_t> burst;
    for (int i = 0; i < 20; ++i) {
        auto n = MakeReply(0x04, 0x00);
        auto p = MakeReply(0x0C, 0x00);
        burst.insert(burst.end(), n.begin(), n.end());
        burst.insert(burst.end(), p.begin(), p.end());
    }
    ASSERT_TRUE(Device().Write(burst));
    Pump(4000);
    SetBoxHook(nullptr);
    std::vector<std::string> texts;
    for (const Box& b : Boxes()) {
        EXPECT_EQ(b.caption, texts::NoticeCaption);
        texts.push_back(b.text);
    }
    // The first box, then what waited for it, in the order it first came.
    EXPECT_EQ(texts, (std::vector<std::string>{texts::NetConfigApplied, texts::PasswordChanged,
                                               texts::NetConfigApplied}));
    EXPECT_EQ(mostOpen.load(), 1);
    EXPECT_EQ(unanswered.load(), 0);
    EXPECT_EQ(Text(IDC_STATUS), texts::Connected);
}

// The first 12 bytes of a 41-byte reply are held when the port is closed;
// the next opening's replies are not appended to them.
TEST(Peer, ReopenAfterAStartedFrameReachesConnected)
{
    OpenAndAnswer();
    const auto cut = MakeReply(0x06, 0x00, std::string(31, 'x') + '\0');
    ASSERT_TRUE(Device().Write(std::vector<uint8_t>(cut.begin(), cut.begin() + 12)));
    Pump(300);
    Click(IDC_PORT_TOGGLE);
    ASSERT_EQ(Text(IDC_STATUS), texts::NotConnected);
    const ULONGLONG opened = GetTickCount64();
    OpenAndAnswer();
    // Past the first-contact limit of three ticks: no box came.
    Pump(static_cast<DWORD>(opened + 4000 - GetTickCount64()));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Text(IDC_STATUS), texts::Connected);
}

// The password reply to a reopening is lost on the line: the first
// heartbeat reply shows "connected", whatever the last opening left.
TEST(Peer, ReopeningWithoutThePasswordReplyConnectsOnTheHeartbeat)
{
    OpenAndAnswer();
    EnsureClosed();
    Device().Read(4096, 100);
    Click(IDC_PORT_TOGGLE);
    ASSERT_EQ(Device().Read(16, 2000).size(), 16u);
    ASSERT_TRUE(Device().Write(NetConfigReply));
    std::vector<uint8_t> heard;
    ASSERT_TRUE(PumpUntil([&] {
        const auto bytes = Device().Read(64, 20);
        heard.insert(heard.end(), bytes.begin(), bytes.end());
        return heard.size() >= 10;
    }, 5000)) << "the first heartbeat goes out on the third tick";
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    ASSERT_TRUE(Device().Write(MakeReply(0x08, 0x00)));
    EXPECT_TRUE(PumpUntil([] { return Text(IDC_STATUS) == texts::Connected; }, 2000));
    EnsureClosed();
}

int VisibleRows(HWND list)
{
    RECT client{};
    GetClientRect(list, &client);
    const LRESULT height = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    return height > 0 ? static_cast<int>(client.bottom / height) : 0;
}

// The newest line is in view after each reply; a new command shows from its
// echo at the top.
TEST(Peer, OutputFollowsTheNewestLine)
{
    OpenAndAnswer();
    HWND list = Item(IDC_OUTPUT);
    Click(IDC_QUERY_NETWORK);
    ASSERT_GT(Device().Read(17, 2000).size(), 0u);
    std::vector<uint8_t> answer;
    for (int i = 1; i <= 20; ++i) {
        auto line = MakeReply(0x06, 0x00, "line " + std::to_string(i) + '\0');
        answer.insert(answer.end(), line.begin(), line.end());
    }
    ASSERT_TRUE(Device().Write(answer));
    ASSERT_TRUE(PumpUntil([] { return OutputLines().size() == 21; }, 3000));
    Pump(300);   // the last line is in; its scrolling may still be on its way
    const int rows = VisibleRows(list);
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    ASSERT_GT(rows, 1);
    ASSERT_LT(rows, 21) << "the list must be too short for the whole answer";
    EXPECT_GT(top + rows, 20) << "the last line lies below the visible rows";
    EXPECT_GT(top, 0);

    Click(IDC_QUERY_ROUTE);
    ASSERT_TRUE(Device().Write(MakeReply(0x06, 0x00, std::string("Kernel IP routing table\0", 24))));
    ASSERT_TRUE(PumpUntil([] { return OutputLines().size() == 2; }, 3000));
    EXPECT_EQ(OutputLines().front(), QueryRouteCommand);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 0);
    EnsureClosed();
}

}  // namespace
