// The dialog against the virtual device on COM3 (run-gui.sh starts it with
// --dhcp off --ip 192.168.5.20 --mask 255.255.255.0 --gateway 192.168.5.1
// and a 44-byte password), a silent one on COM12 and a third on COM45:
// states a technician sees, the frames on the wire, input checks, notices,
// the port list, copying, and what the screen shows. The Text cases run in
// a Chinese and in a Western locale against a device with a Chinese password.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "gui/resource.h"
#include "tests/gui/gui_harness_win32.h"
#include "gui/config_dialog_win32.h"
#include "session/link_supervisor.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "tests/wine/port_install_win32.h"

using namespace gui;

namespace {

const std::string DevicePassword = "Quorvane-Field-Technician-Long-Password-2017";
// Eight and nine Chinese characters in GBK (16 and 18 bytes).
const char EightChinese[] = "\xC9\xE8\xB1\xB8\xB9\xDC\xC0\xED\xC3\xDC\xC2\xEB\xB2\xE2\xCA\xD4";
const char NineChinese[] = "\xC9\xE8\xB1\xB8\xB9\xDC\xC0\xED\xC3\xDC\xC2\xEB\xB2\xE2\xCA\xD4\xD6\xD0";
const int AllControls[] = {IDC_PORT_LIST, IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK,
                           IDC_PASSWORD, IDC_CHANGE_PASSWORD, IDC_SHOW_PASSWORD, IDC_QUERY_NETWORK, IDC_QUERY_ROUTE,
                           IDC_EXECUTE, IDC_COMMAND, IDC_OUTPUT};

// Enabled (E) or disabled (D), in the order of AllControls.
std::string EnabledStates()
{
    std::string s;
    for (int id : AllControls)
        s += Enabled(id) ? 'E' : 'D';
    return s;
}

DWORD Address(int id)
{
    DWORD value = 0;
    SendMessageA(Item(id), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

bool AddressBlank(int id) { return SendMessageA(Item(id), IPM_ISBLANK, 0, 0) != 0; }
LRESULT PasswordChar() { return SendMessageA(Item(IDC_PASSWORD), EM_GETPASSWORDCHAR, 0, 0); }
std::wstring Wide(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring Entry(LRESULT i)
{
    wchar_t text[256] = {};
    SendMessageW(Item(IDC_PORT_LIST), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string PortName(const std::wstring& entry)
{
    return std::string(entry.begin(), entry.begin() + static_cast<long>(std::min(entry.find(L':'), entry.size())));
}

// "COM3 COM12 [COM3]": the ports of the list (their descriptions left out)
// and, in brackets, the selected one's.
std::string PortList()
{
    HWND list = Item(IDC_PORT_LIST);
    std::string shown;
    for (LRESULT i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i)
        shown += PortName(Entry(i)) + " ";
    return shown + "[" + PortName(Wide(list)) + "]";
}

void SelectPort(const char* name)
{
    SendMessageA(Item(IDC_PORT_LIST), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
}

// What a serial driver does when an adapter comes or goes: the port's entry
// in the system's list (volatile, in the running wineserver), then, unless
// `event` is 0, the device-change broadcast, which reaches the main window.
void SetPortListed(int number, bool listed, WPARAM event)
{
    const std::wstring port = L"COM" + std::to_wstring(number);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    for (DWORD i = 0;;) {   // whatever entry names the port goes
        wchar_t name[256], data[32] = {};
        DWORD nameLength = 256, bytes = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
            break;
        if (port == data)
            RegDeleteValueW(key, name);
        else
            ++i;
    }
    if (listed)
        RegSetValueExW(key, (L"\\Device\\QvHotPlug" + port).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(port.c_str()), static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (event != 0)
        SendMessageW(GetParent(Dialog()), WM_DEVICECHANGE, event, 0);
}

// The darkest pixel of a label: its text colour.
uint32_t TextColour(HWND label)
{
    const Pixels p = ScreenOf(label);
    uint32_t darkest = 0xFFFFFF;
    auto sum = [](uint32_t c) { return (c >> 16) + ((c >> 8) & 0xFF) + (c & 0xFF); };
    for (uint32_t c : p.rgb)
        darkest = sum(c) < sum(darkest) ? c : darkest;
    return darkest;
}

}  // namespace

TEST(Dialog, InitialStatesAndWhatTheScreenShows)
{
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM3]") << "ascending, above COM32 too";
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPortCaption);
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_EQ(EnabledStates(), "EDDDDDDDDDDDDD");
    EXPECT_TRUE(Enabled(IDC_PORT_TOGGLE));
    EXPECT_TRUE(AddressBlank(IDC_IP_ADDRESS));

    // The status in its grey, other labels in the window text colour, and
    // the closed eye while the password is masked.
    ASSERT_TRUE(State().scale.eyeHidden != nullptr && State().scale.eyeShown != nullptr);
    Pump(300);
    EXPECT_EQ(TextColour(Item(IDC_STATUS)), 0x646464u);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(TextColour(FindWindowExA(Dialog(), nullptr, "Static", nullptr)),
              static_cast<uint32_t>(GetRValue(text) << 16 | GetGValue(text) << 8 | GetBValue(text)));
    EXPECT_EQ(EyeDifferences(State().scale.eyeHidden), 0);
    EXPECT_GT(EyeDifferences(State().scale.eyeShown), 20) << "the two images must tell apart";
}

// Every label shows its whole text with the font the dialog really got: one
// that fits stays as the template made it; one that does not (a substitute
// font with narrower Latin letters shrinks the dialog units) is drawn on one
// line, and the ink of its last character still lies inside the label.
TEST(Dialog, LabelsShowTheirWholeTextWithTheDialogFont)
{
    HWND dialog = Dialog();
    HDC dc = GetDC(dialog);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    int labels = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0)
            continue;
        ++labels;
        const std::string text = GbkOf(child);
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        RECT client{};
        GetClientRect(child, &client);
        for (const char* t : {text.c_str(), texts::Connected}) {
            if (t != text.c_str() && GetDlgCtrlID(child) != IDC_STATUS)
                continue;   // the status label is measured with its longer text too
            wchar_t wide[64] = {};
            const int n = MultiByteToWideChar(936, 0, t, -1, wide, 64) - 1;
            SIZE extent{};
            GetTextExtentPoint32W(dc, wide, n, &extent);
            EXPECT_LE(extent.cy, client.bottom) << t;
            if (extent.cx <= client.right) {
                EXPECT_EQ(style & 0xFFFFFFFF, 0x50020000) << t << " as templated";
                continue;
            }
            EXPECT_EQ(style & SS_TYPEMASK, SS_LEFTNOWORDWRAP) << t << " would wrap";
            ABC last{};
            ASSERT_TRUE(GetCharABCWidthsW(dc, wide[n - 1], wide[n - 1], &last));
            EXPECT_LE(extent.cx - last.abcC, client.right) << t << " is cut";
        }
    }
    EXPECT_EQ(labels, 7);
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
}

TEST(Dialog, OpeningWritesBothRequestsInOrderAndRepliesFillTheControls)
{
    EnsureClosed();
    ResetBoxes();
    const size_t mark = LoggedFrames("RX").size();
    Click(IDC_PORT_TOGGLE);
    // Before any reply is handled only the port controls have changed (the
    // DHCP box is left out: the assembler thread's EnableWindow sets its
    // style before this thread takes WM_ENABLE, so a quick reply may show).
    EXPECT_TRUE(PortIsOpen(State().device));
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::ClosePortCaption);
    std::string states = EnabledStates();
    states[4] = '?';
    EXPECT_EQ(states, "DDDD?DDDDDDDDD");
    EXPECT_TRUE(AddressBlank(IDC_IP_ADDRESS));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_TRUE(OutputLines().empty());

    ASSERT_TRUE(PumpUntil([] { return Text(IDC_STATUS) == texts::Connected && Enabled(IDC_DHCP); }, 3000));
    const auto sent = FramesSince(mark, "RX");
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], Hex("55 AA 01 00 00 00 D8 01"));
    EXPECT_EQ(sent[1], Hex("55 AA 09 00 00 00 B8 03"));
    EXPECT_EQ(SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(EnabledStates(), "DEEEEEEEEEEEEE");
    EXPECT_EQ(Address(IDC_IP_ADDRESS), 0xC0A80514u);
    EXPECT_EQ(Address(IDC_SUBNET_MASK), 0xFFFFFF00u);
    EXPECT_EQ(Address(IDC_GATEWAY), 0xC0A80501u);
    EXPECT_EQ(Text(IDC_PASSWORD), DevicePassword) << "longer than any limit of the dialog, shown whole";
    EXPECT_EQ(PasswordChar(), '*');
    EXPECT_TRUE(Boxes().empty());
}

TEST(Dialog, CommandsTheirEchoAndTheirLimits)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    const std::string x1000(1000, 'x'), x1001(1001, 'x');
    const struct { int button; std::string typed, sent; const char* refusal; } cases[] = {
        {IDC_QUERY_NETWORK, "", "ifconfig", nullptr},
        {IDC_QUERY_ROUTE, "", "route", nullptr},
        // " -c 4" goes behind a command that starts with "ping", and only then.
        {IDC_EXECUTE, "ping 10.0.0.1", "ping 10.0.0.1 -c 4", nullptr},
        {IDC_EXECUTE, "ping", "ping -c 4", nullptr},
        {IDC_EXECUTE, "ping -c 2 10.0.0.1", "ping -c 2 10.0.0.1 -c 4", nullptr},
        {IDC_EXECUTE, "Ping 10.0.0.1", "Ping 10.0.0.1", nullptr},
        {IDC_EXECUTE, " ping 10.0.0.1", " ping 10.0.0.1", nullptr},
        {IDC_EXECUTE, x1000, x1000, nullptr},
        {IDC_EXECUTE, x1001, "", texts::CommandTooLong},
        {IDC_EXECUTE, "", "", texts::CommandEmpty},
        {IDC_EXECUTE, "ifconfig\r\nroute", "", texts::CommandLineBreak},   // pasted: both would run as one
    };
    for (const auto& c : cases) {
        ResetBoxes();
        if (c.button == IDC_EXECUTE)
            SetText(IDC_COMMAND, c.typed.c_str());
        const auto before = OutputLines();
        const auto sent = Sent([&] { Click(c.button); }, 1000);
        EXPECT_TRUE(c.button != IDC_EXECUTE || Text(IDC_COMMAND) == c.typed) << "the edit keeps what was typed";
        if (c.refusal != nullptr) {
            EXPECT_TRUE(sent.empty()) << c.typed;
            EXPECT_EQ(OneBox(), c.refusal);
            EXPECT_EQ(OutputLines(), before) << "the list keeps its lines";
            continue;
        }
        EXPECT_EQ(sent, std::vector<Bytes>{ShellFrame(c.sent)}) << c.typed;
        const auto lines = OutputLines();
        ASSERT_GE(lines.size(), 2u) << "the device's output follows the echo";
        EXPECT_EQ(lines[0], c.sent);
        EXPECT_TRUE(Boxes().empty());
    }
}

TEST(Dialog, NetworkSettingsWithAndWithoutDhcp)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    ResetBoxes();
    ASSERT_EQ(SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ClickCheckBox(IDC_DHCP);
    EXPECT_EQ(EnabledStates().substr(1, 3), "DDD");
    EXPECT_TRUE(AddressBlank(IDC_IP_ADDRESS) && AddressBlank(IDC_SUBNET_MASK) && AddressBlank(IDC_GATEWAY));
    Bytes dhcpOn(21, 0);
    dhcpOn[0] = 1;
    EXPECT_EQ(Sent([] { Click(IDC_SET_NETWORK); }, 1000), std::vector<Bytes>{MakeFrame(0x03, dhcpOn)});
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 3000));
    EXPECT_EQ(OneBox(), std::string(texts::NetConfigApplied) + " [notice]");

    ResetBoxes();
    ClickCheckBox(IDC_DHCP);
    EXPECT_EQ(EnabledStates().substr(1, 3), "EEE");
    SendMessageA(Item(IDC_IP_ADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 1, 2, 3));
    Bytes fixed(21, 0);   // blank fields go out as 0
    fixed[1] = 10, fixed[2] = 1, fixed[3] = 2, fixed[4] = 3;
    EXPECT_EQ(Sent([] { Click(IDC_SET_NETWORK); }, 1000), std::vector<Bytes>{MakeFrame(0x03, fixed)});
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 3000));
    EXPECT_EQ(OneBox(), std::string(texts::NetConfigApplied) + " [notice]");

    // Put the device back as it was for the cases that follow.
    SendMessageA(Item(IDC_IP_ADDRESS), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 5, 20));
    SendMessageA(Item(IDC_SUBNET_MASK), IPM_SETADDRESS, 0, MAKEIPADDRESS(255, 255, 255, 0));
    SendMessageA(Item(IDC_GATEWAY), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 5, 1));
    ResetBoxes();
    Click(IDC_SET_NETWORK);
    PumpUntil([] { return !Boxes().empty(); }, 3000);
}

TEST(Dialog, PasswordLengthChecksCountBytes)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    const struct { const char* text; const char* refusal; } cases[] = {
        {"0123456789abcdef", nullptr}, {"0123456789abcdefg", texts::PasswordTooLong},
        {EightChinese, nullptr},       {NineChinese, texts::PasswordTooLong},
        {"", texts::PasswordEmpty},
    };
    for (const auto& c : cases) {
        ResetBoxes();
        SetText(IDC_PASSWORD, c.text);
        const auto sent = Sent([] { Click(IDC_CHANGE_PASSWORD); }, 800);
        if (c.refusal != nullptr) {
            EXPECT_TRUE(sent.empty()) << c.text;
            EXPECT_EQ(OneBox(), c.refusal);
            continue;
        }
        Bytes field(16, 0);
        std::copy(c.text, c.text + std::strlen(c.text), field.begin());
        EXPECT_EQ(sent, std::vector<Bytes>{MakeFrame(0x0B, field)}) << c.text;
        ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 3000));
        EXPECT_EQ(OneBox(), std::string(texts::PasswordChanged) + " [notice]");
    }
}

// While the success notice is open the technician's thread sits in the box;
// a command issued meanwhile must still get its output, and the heartbeats
// and their replies must go on.
TEST(Dialog, RepliesAreHandledWhileANoticeIsOpen)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    ResetBoxes();
    std::atomic<int> linesSeen{0};
    std::atomic<uint32_t> lowestCountdown{LinkTimeoutTicks}, heartbeatsWhileOpen{0};
    SetBoxHook([&](const Box& box) {
        if (box.caption != texts::NoticeCaption)
            return;
        const size_t mark = LoggedFrames("TX").size();
        SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_QUERY_ROUTE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(IDC_QUERY_ROUTE)));
        for (int i = 0; i < 70; ++i) {   // hold the box open for 7 s
            Sleep(100);
            lowestCountdown = std::min(lowestCountdown.load(), State().device.session.supervision.linkCountdown.load());
        }
        linesSeen = static_cast<int>(SendMessageA(Item(IDC_OUTPUT), LB_GETCOUNT, 0, 0));
        heartbeatsWhileOpen = CountCode(FramesSince(mark, "TX"), 0x08);
    });
    SetText(IDC_PASSWORD, "admin");
    Click(IDC_CHANGE_PASSWORD);
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 3000));
    Pump(300);
    SetBoxHook(nullptr);
    EXPECT_GE(linesSeen.load(), 2) << "echo and output arrived while the notice was open";
    EXPECT_GE(heartbeatsWhileOpen.load(), 2u);
    EXPECT_GE(lowestCountdown.load(), 6u) << "heartbeat replies kept re-arming the link";
    EXPECT_EQ(Text(IDC_STATUS), texts::Connected);
}

TEST(Dialog, EyeButtonFlipsMaskingWithoutCuttingThePassword)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    const std::string text = std::string(60, 'p') + EightChinese;
    SetText(IDC_PASSWORD, text.c_str());
    Click(IDC_SHOW_PASSWORD);
    EXPECT_FALSE(State().passwordMasked);
    EXPECT_EQ(PasswordChar(), 0);
    EXPECT_EQ(EyeDifferences(State().scale.eyeShown), 0);
    Click(IDC_SHOW_PASSWORD);
    EXPECT_EQ(PasswordChar(), '*');
    EXPECT_EQ(EyeDifferences(State().scale.eyeHidden), 0);
    EXPECT_EQ(Text(IDC_PASSWORD), text) << "nothing cut, no character split";
    Click(IDC_SHOW_PASSWORD);   // left shown for the closing case
}

TEST(Dialog, ClosingKeepsContentsGreyedAndReopeningMasksAgain)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    SetText(IDC_COMMAND, "route");
    Click(IDC_QUERY_NETWORK);
    Pump(800);
    const auto lines = OutputLines();
    const std::string password = Text(IDC_PASSWORD);
    ASSERT_FALSE(State().passwordMasked);

    Click(IDC_PORT_TOGGLE);
    EXPECT_FALSE(PortIsOpen(State().device));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_EQ(Text(IDC_PORT_TOGGLE), texts::OpenPortCaption);
    EXPECT_EQ(EnabledStates(), "EDDDDDDDDDDDDD");
    EXPECT_EQ(OutputLines(), lines);
    EXPECT_EQ(Text(IDC_PASSWORD), password);
    EXPECT_EQ(Text(IDC_COMMAND), "route");
    EXPECT_EQ(Address(IDC_IP_ADDRESS), 0xC0A80514u);
    EXPECT_TRUE(State().passwordMasked);
    EXPECT_EQ(PasswordChar(), '*');

    // Nothing more goes out on a closed port.
    Pump(4000);
    const size_t mark = LoggedFrames("RX").size();
    Pump(3500);
    EXPECT_TRUE(FramesSince(mark, "RX").empty());

    Click(IDC_SHOW_PASSWORD);   // disabled in reality; reopening must mask again
    OpenPortAndWait();
    EXPECT_TRUE(State().passwordMasked);
    EXPECT_EQ(PasswordChar(), '*');
}

// The network reply and the password reply may come in either order (handed
// to the session from a thread of their own, as the assembler hands them);
// the controls end up the same. COM12 holds a device that never answers.
TEST(Dialog, RepliesInEitherOrderLeaveTheSameStates)
{
    EnsureClosed();
    ResetBoxes();
    SendMessageA(Item(IDC_PORT_LIST), CB_SETCURSEL, 1, 0);
    for (bool passwordFirst : {false, true}) {
        Click(IDC_PORT_TOGGLE);
        std::atomic<bool> done{false};
        std::thread replies([&] {   // its window calls are served while this thread pumps
            const Bytes network = MakeReply(0x02, 0, std::string("\x00\x0A\x00\x01\x05\xFF\x00\x00\x00\x0A\x00\x01\x01", 13));
            const Bytes password = TextReply(0x0A, 0, "order-test");
            const Bytes* order[2] = {passwordFirst ? &password : &network, passwordFirst ? &network : &password};
            for (const Bytes* reply : order)
                HandleSessionFrame(State().device.session, reply->data(), static_cast<uint32_t>(reply->size()));
            done = true;
        });
        PumpUntil([&] { return done.load(); }, 5000);
        replies.join();
        EXPECT_EQ(EnabledStates(), "DEEEEEEEEEEEEE") << passwordFirst;
        EXPECT_EQ(Address(IDC_IP_ADDRESS), 0x0A000105u);
        EXPECT_EQ(Address(IDC_GATEWAY), 0x0A000101u);
        EXPECT_EQ(SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_EQ(Text(IDC_PASSWORD) + " " + Text(IDC_STATUS), std::string("order-test ") + texts::Connected);
        EnsureClosed();
    }
    SendMessageA(Item(IDC_PORT_LIST), CB_SETCURSEL, 0, 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST(Dialog, PortListFollowsTheSystem)
{
    EnsureClosed();
    ResetBoxes();
    SelectPort("COM12");
    SetPortListed(46, true, DBT_DEVICEARRIVAL);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 COM46 [COM12]");
    SetPortListed(46, false, 0);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 COM46 [COM12]") << "nothing announced yet";
    SendMessageW(Item(IDC_PORT_LIST), CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM12]") << "dropping the list down reads it again";
    SendMessageW(Item(IDC_PORT_LIST), CB_SHOWDROPDOWN, FALSE, 0);
    SelectPort("COM45");
    SetPortListed(45, false, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(PortList(), "COM3 COM12 [COM3]") << "the selected port went: the first is selected";
    SetPortListed(45, true, DBT_DEVNODES_CHANGED);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM3]");

    OpenPortAndWait();
    SetPortListed(46, true, DBT_DEVICEARRIVAL);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM3]") << "locked while a port is open";
    EXPECT_TRUE(PortIsOpen(State().device));
    // The open port's adapter is pulled: released at once, as a lost link.
    SetPortListed(3, false, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_FALSE(PortIsOpen(State().device));
    EXPECT_EQ(Text(IDC_STATUS), texts::NotConnected);
    EXPECT_EQ(EnabledStates(), "EDDDDDDDDDDDDD");
    EXPECT_EQ(PortList(), "COM12 COM45 COM46 [COM12]");
    SetPortListed(3, true, DBT_DEVICEARRIVAL);

    // Listed, but gone by the time it is opened (COM46 has no device).
    SelectPort("COM46");
    Click(IDC_PORT_TOGGLE);
    EXPECT_EQ(OneBox(), std::string(texts::OpenPortFailed) + "\n" + texts::PortMissing);
    EXPECT_FALSE(PortIsOpen(State().device));
    SetPortListed(46, false, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM3]");
}

// Adapters the system describes (Ports-class devices installed as a driver
// would) are named in the list, a Bluetooth link too; the dropped list is
// wide enough for them; a device that goes takes its name along, and the
// port is chosen, kept and opened by its number throughout.
TEST(Dialog, PortListNamesDescribedAdapters)
{
    EnsureClosed();
    const wchar_t* ch340 = L"USB\\VID_1A86&PID_7523\\5&2B3A1F&0&2";
    const wchar_t* bluetooth = L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A8B&0&0011_C0";
    const InstalledPort ports[] = {
        {ch340, L"USB-SERIAL CH340 (COM3)", nullptr, L"USB\\VID_1A86&PID_7523\0", L"Port_#0001.Hub_#0003", nullptr, 3},
        {bluetooth, nullptr, L"Standard Serial over Bluetooth link", L"BTHENUM\\{00001101}\0", nullptr, nullptr, 45}};
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    for (const InstalledPort& p : ports) {
        RemovePort(p.id);   // left by a run that died half-way
        EXPECT_TRUE(InstallPort(set, p)) << p.com;
    }
    SetupDiDestroyDeviceInfoList(set);
    SelectPort("COM45");
    SetPortListed(45, true, DBT_DEVNODES_CHANGED);
    EXPECT_EQ(Entry(0) + L"|" + Entry(1) + L"|" + Entry(2),
              L"COM3: USB-SERIAL CH340|COM12|COM45: Standard Serial over Bluetooth link");
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM45]");
    HDC dc = GetDC(Item(IDC_PORT_LIST));
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Item(IDC_PORT_LIST), WM_GETFONT, 0, 0)));
    SIZE longest{};
    GetTextExtentPoint32W(dc, Entry(2).c_str(), static_cast<int>(Entry(2).size()), &longest);
    ReleaseDC(Item(IDC_PORT_LIST), dc);
    EXPECT_GT(SendMessageW(Item(IDC_PORT_LIST), CB_GETDROPPEDWIDTH, 0, 0), longest.cx);

    EXPECT_TRUE(RemovePort(ch340));
    SetPortListed(3, true, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(Entry(0), L"COM3") << "the device went, its name with it";
    EXPECT_EQ(PortList(), "COM3 COM12 COM45 [COM45]");
    RemovePort(bluetooth);
    SetPortListed(45, true, DBT_DEVNODES_CHANGED);
    SelectPort("COM3");
    OpenPortAndWait();
    EXPECT_TRUE(PortIsOpen(State().device)) << "opened by its number";
    EnsureClosed();
}

TEST(Dialog, CtrlCCopiesEveryOutputLine)
{
    if (!PortIsOpen(State().device))
        OpenPortAndWait();
    Click(IDC_QUERY_ROUTE);
    ASSERT_TRUE(PumpUntil([] { return OutputLines().size() >= 4; }, 3000));
    Pump(500);
    std::string expected;
    for (const std::string& line : OutputLines())
        expected += (expected.empty() ? "" : "\r\n") + line;
    SetFocus(Item(IDC_OUTPUT));
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(Item(IDC_OUTPUT), WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    ASSERT_TRUE(OpenClipboard(Dialog()));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::string copied(8192, '\0');
    EXPECT_TRUE(data != nullptr && NarrowToGbk(static_cast<const wchar_t*>(GlobalLock(data)), &copied[0], copied.size()));
    if (data != nullptr)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied.c_str(), expected);
    EXPECT_EQ(expected.substr(0, 7), "route\r\n");
}

// Run under zh_CN.UTF-8 (code page 936) and under C.UTF-8 (1252): the
// window shows the right Chinese, read back as Unicode, and a Chinese
// command goes out as GBK. The device's password is "密码12".
TEST(Text, ChineseReadsRightAndGoesOutAsGbkInAnyLocale)
{
    std::printf("ANSI code page %u\n", GetACP());
    EXPECT_EQ(Wide(Item(IDC_PORT_TOGGLE)), L"打开串口");
    EXPECT_EQ(Wide(Item(IDC_STATUS)), L"未连接");
    EXPECT_EQ(Wide(FindWindowExW(Dialog(), nullptr, L"Static", nullptr)), L"串口号:");
    OpenPortAndWait();
    EXPECT_EQ(Wide(Item(IDC_PORT_TOGGLE)), L"关闭串口");
    EXPECT_EQ(Wide(Item(IDC_STATUS)), L"已连接");
    EXPECT_EQ(Wide(Item(IDC_PASSWORD)), L"密码12");

    SetWindowTextW(Item(IDC_COMMAND), L"echo 你好");
    EXPECT_EQ(Sent([] { Click(IDC_EXECUTE); }, 1000), std::vector<Bytes>{ShellFrame("echo \xC4\xE3\xBA\xC3")});
    HWND output = Item(IDC_OUTPUT);
    wchar_t line[64] = {};
    SendMessageW(output, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(line, L"你好");

    const struct { int field, button; const wchar_t* typed; const char* refusal; } refused[] = {
        {IDC_COMMAND, IDC_EXECUTE, L"echo \U0001F600", texts::CommandUnsupported},
        {IDC_PASSWORD, IDC_CHANGE_PASSWORD, L"pw\U0001F600", texts::PasswordUnsupported},
    };
    for (const auto& r : refused) {
        ResetBoxes();
        SetWindowTextW(Item(r.field), r.typed);
        EXPECT_TRUE(Sent([&] { Click(r.button); }, 300).empty());
        EXPECT_EQ(OneBox(), r.refusal);
    }
    ResetBoxes();
    SetWindowTextW(Item(IDC_PASSWORD), L"新密码");
    EXPECT_EQ(Sent([] { Click(IDC_CHANGE_PASSWORD); }, 800),
              std::vector<Bytes>{MakeFrame(0x0B, Hex("D0 C2 C3 DC C2 EB 00 00 00 00 00 00 00 00 00 00"))});
    ASSERT_TRUE(PumpUntil([] { return !Boxes().empty(); }, 3000));
    EXPECT_EQ(OneBox(), std::string(texts::PasswordChanged) + " [notice]");
}
