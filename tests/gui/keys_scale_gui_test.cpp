// The dialog by keyboard alone, with real keystrokes (SendInput) that reach
// it through the program's own message loop, and its layout at the scale
// Wine runs at (run-gui.sh gives the groups 96, 144 and 192 DPI), also after
// a change of scale as a move to another monitor brings it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/resource.h"
#include "gui/texts.h"
#include "tests/gui/gui_harness_win32.h"

using namespace gui;

namespace {

// The template's controls that take the focus, in its order.
const int TabOrder[] = {IDC_PORT_LIST,     IDC_PORT_TOGGLE, IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY,
                        IDC_DHCP,          IDC_SET_NETWORK, IDC_PASSWORD,   IDC_CHANGE_PASSWORD,
                        IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE,    IDC_COMMAND,     IDC_OUTPUT, IDC_SHOW_PASSWORD};

INPUT Key(WORD vk, WORD scan, DWORD flags)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki = KEYBDINPUT{vk, scan, flags, 0, 0};
    return in;
}

// One key, down and up, with a modifier held around it; then the loop runs.
void Press(WORD key, WORD modifier = 0)
{
    std::vector<INPUT> keys{Key(key, 0, 0), Key(key, 0, KEYEVENTF_KEYUP)};
    if (modifier != 0) {
        keys.insert(keys.begin(), Key(modifier, 0, 0));
        keys.push_back(Key(modifier, 0, KEYEVENTF_KEYUP));
    }
    ASSERT_EQ(SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)), keys.size());
    Pump(150);
}

void Type(const std::wstring& text)
{
    for (wchar_t c : text) {
        INPUT in[2] = {Key(0, c, KEYEVENTF_UNICODE), Key(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)};
        SendInput(2, in, sizeof(INPUT));
    }
    Pump(200);
}

// The dialog's control that holds the focus (an address field's edit
// counts as its address control); 0 if none.
int Focused()
{
    HWND w = GetFocus();
    while (w != nullptr && GetParent(w) != Dialog())
        w = GetParent(w);
    return w == nullptr ? 0 : GetDlgCtrlID(w);
}

// Where the focus goes with `count` presses of Tab (Shift+Tab if `back`).
std::vector<int> Walk(int from, size_t count, bool back)
{
    SetFocus(Item(from));
    std::vector<int> seen;
    for (size_t i = 0; i < count; ++i) {
        Press(VK_TAB, back ? VK_SHIFT : 0);
        seen.push_back(Focused());
    }
    return seen;
}

// The enabled controls after `from`, in the template's order, round again.
std::vector<int> EnabledAfter(int from, bool back)
{
    std::vector<int> enabled;
    for (int id : TabOrder)
        if (Enabled(id))
            enabled.push_back(id);
    if (back)
        std::reverse(enabled.begin(), enabled.end());
    std::vector<int> after;
    const size_t at = static_cast<size_t>(std::find(enabled.begin(), enabled.end(), from) - enabled.begin());
    if (at == enabled.size())
        return after;
    for (size_t i = 1; i <= enabled.size(); ++i)
        after.push_back(enabled[(at + i) % enabled.size()]);
    return after;
}

std::string Describe(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

RECT PlaceOf(HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Whether `text` in the control's own font fits its client area; a label
// drawn on one line may cut the blank side of its last character's cell.
bool TextFits(HWND control, const std::wstring& text, int room)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ABC last{};
    if (!text.empty())
        GetCharABCWidthsW(dc, text.back(), text.back(), &last);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client{};
    GetClientRect(control, &client);
    const int cut = last.abcC < 0 ? 0 : static_cast<int>(last.abcC);
    return extent.cx - cut + room <= client.right && extent.cy <= client.bottom;
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

// The whole window on its monitor's work area, title bar included, at its
// scaled size where that fits, else as high as the work area.
void ExpectOnScreen(UINT dpi)
{
    RECT window{}, inside{};
    GetWindowRect(GetParent(Dialog()), &window);
    const RECT work = WorkAreaOf(GetParent(Dialog()));
    std::printf("at %u DPI: the window %s in the work area %s\n", dpi, Describe(window).c_str(), Describe(work).c_str());
    EXPECT_TRUE(IntersectRect(&inside, &window, &work) && EqualRect(&inside, &window))
        << Describe(window) << " off the work area " << Describe(work);
    EXPECT_EQ(window.right - window.left, std::min<LONG>(MulDiv(582, dpi, 96), work.right - work.left));
    EXPECT_EQ(window.bottom - window.top, std::min<LONG>(MulDiv(615, dpi, 96), work.bottom - work.top));
}

// What a technician must see at `dpi`: the dialog inside the window, every
// text whole in the font of that scale, no two controls on top of each
// other, the output list at least three lines high, and the eye at its
// scale inside its button.
void ExpectControlsWholeAt(UINT dpi)
{
    SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
    EXPECT_EQ(State().scale.dpi, dpi);
    RECT client{}, dialog{}, output{};
    GetClientRect(GetParent(Dialog()), &client);
    GetClientRect(Item(IDC_OUTPUT), &output);
    EXPECT_GE(output.bottom, 3 * SendMessageW(Item(IDC_OUTPUT), LB_GETITEMHEIGHT, 0, 0)) << "output rows";
    GetClientRect(Dialog(), &dialog);
    EXPECT_LE(dialog.right, client.right);
    EXPECT_LE(dialog.bottom, client.bottom);
    std::vector<HWND> placed;
    for (HWND c = GetWindow(Dialog(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        LOGFONTW font{};
        // An address control answers no WM_GETFONT (Wine): its fields show the text.
        HWND shows = SendMessageW(c, WM_GETFONT, 0, 0) != 0 ? c : GetWindow(c, GW_CHILD);
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(shows, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -MulDiv(10, dpi, 72)) << GetDlgCtrlID(c);
        wchar_t cls[32] = {}, text[64] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, text, 64);
        const LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
        const bool button = lstrcmpiW(cls, L"Button") == 0, box = button && (style & BS_TYPEMASK) == BS_GROUPBOX;
        // Room besides the text: a group box's indent, the tick box, a
        // button's edges, the drop-down arrow.
        const int id = GetDlgCtrlID(c);
        const int room = MulDiv(box ? 16 : id == IDC_DHCP ? 18 : button ? 4 : id == IDC_PORT_LIST ? 18 : 0, dpi, 96);
        const std::wstring shown = shows != c                  ? L"255"
                                   : id == IDC_STATUS    ? L"已连接"
                                   : id == IDC_PORT_LIST ? L"COM255"
                                   : id == IDC_COMMAND || id == IDC_PASSWORD || id == IDC_OUTPUT ? L"Ag" : text;
        EXPECT_TRUE(TextFits(shows, shown, room)) << GetDlgCtrlID(c) << " cut: " << Describe(PlaceOf(c));
        RECT r = PlaceOf(c), inside{};
        EXPECT_TRUE(IntersectRect(&inside, &r, &dialog) && EqualRect(&inside, &r)) << Describe(r);
        for (HWND other : placed) {
            const RECT o = PlaceOf(other);
            EXPECT_FALSE(!box && IntersectRect(&inside, &r, &o))
                << GetDlgCtrlID(c) << " " << Describe(r) << " on " << GetDlgCtrlID(other) << " " << Describe(o);
        }
        if (!box)
            placed.push_back(c);
    }
    BITMAP eye{};
    GetObjectW(State().passwordMasked ? State().scale.eyeHidden : State().scale.eyeShown, sizeof eye, &eye);
    EXPECT_EQ(Describe(RECT{0, 0, eye.bmWidth, eye.bmHeight}),
              Describe(RECT{0, 0, MulDiv(26, dpi, 96), MulDiv(17, dpi, 96)})) << "the eye at the scale";
    EXPECT_EQ(EyeDifferences(State().passwordMasked ? State().scale.eyeHidden : State().scale.eyeShown), 0);
}

void ExpectLayoutAt(UINT dpi)
{
    ExpectOnScreen(dpi);
    ExpectControlsWholeAt(dpi);
}

}  // namespace

TEST(Keys, TabAndShiftTabFollowTheTemplateOverTheEnabledControls)
{
    SetForegroundWindow(GetParent(Dialog()));
    EnsureClosed();
    for (bool back : {false, true}) {
        EXPECT_EQ(Walk(IDC_PORT_LIST, 2, back), EnabledAfter(IDC_PORT_LIST, back)) << back;
    }
    OpenPortAndWait();
    for (bool back : {false, true}) {
        const std::vector<int> expected = EnabledAfter(IDC_PORT_TOGGLE, back);
        EXPECT_GE(expected.size(), 10u);
        EXPECT_EQ(Walk(IDC_PORT_TOGGLE, expected.size(), back), expected) << back;
    }
    // The eye shows its focus: a dotted ring around the image.
    SetFocus(Item(IDC_PORT_TOGGLE));
    Press(VK_TAB, VK_SHIFT);
    ASSERT_EQ(Focused(), IDC_SHOW_PASSWORD);
    Pump(200);
    const int gap = MulDiv(9, static_cast<int>(State().scale.dpi), 96);
    const Pixels focused = ScreenOf(Item(IDC_SHOW_PASSWORD));
    Press(VK_TAB);
    const Pixels left = ScreenOf(Item(IDC_SHOW_PASSWORD));
    int ring = 0;
    for (int x = gap; x < focused.width - gap; ++x)
        ring += focused.At(x, gap) != left.At(x, gap);
    EXPECT_GT(ring, 4) << "no focus mark on the eye button";
    EnsureClosed();
}

TEST(Keys, EnterSpaceEscAndArrowsAsInAnyDialog)
{
    SetForegroundWindow(GetParent(Dialog()));
    EnsureClosed();
    SetFocus(Item(IDC_PORT_LIST));
    Press(VK_DOWN);
    EXPECT_EQ(SelectedPortNumber(State()), 12u) << "the arrow chose the next port";
    Press(VK_UP);
    EXPECT_EQ(SelectedPortNumber(State()), 3u);
    OpenPortAndWait();

    const std::string lineBreak = texts::CommandLineBreak;
    const struct Case {
        const char* what;
        int focus;                  // focused as a click does; then `tabs` presses of Tab
        int tabs;
        std::function<void()> keys;
        std::vector<std::string> sent;   // the commands sent, once each
        std::string box;
    } cases[] = {
        {"typed, Enter", IDC_COMMAND, 0, [] { SetText(IDC_COMMAND, ""); Type(L"echo one"); Press(VK_RETURN); }, {"echo one"}, ""},
        {"Ctrl+Enter", IDC_COMMAND, 0, [] { Press(VK_RETURN, VK_CONTROL); }, {"echo one"}, ""},
        {"Ctrl+J", IDC_COMMAND, 0, [] { Press('J', VK_CONTROL); }, {}, ""},
        // A line break as a paste leaves it, set as the field's text: Wine's
        // edit, one line tall and without ES_AUTOVSCROLL, refuses a paste
        // that needs a second line, but holds one all the same.
        {"pasted CR LF", IDC_COMMAND, 0, [] { SetText(IDC_COMMAND, "ifconfig\r\nroute"); Press(VK_RETURN); }, {}, lineBreak},
        {"pasted LF", IDC_COMMAND, 0, [] { SetText(IDC_COMMAND, "route\n"); Press(VK_RETURN); }, {}, lineBreak},
        {"pasted lone CR", IDC_COMMAND, 0, [] { SetText(IDC_COMMAND, "ifconfig\rroute"); Press(VK_RETURN); }, {}, lineBreak},
        {"Enter on 修改 with no password", IDC_CHANGE_PASSWORD, 0, [] { SetText(IDC_PASSWORD, ""); Press(VK_RETURN); }, {},
         texts::PasswordEmpty},
        {"Space on a button", IDC_QUERY_ROUTE, 0, [] { Press(VK_SPACE); }, {"route"}, ""},
        {"Enter on a clicked button", IDC_QUERY_NETWORK, 0, [] { Press(VK_RETURN); }, {"ifconfig"}, ""},
        {"Enter on a button reached by Tab", IDC_QUERY_ROUTE, 1, [] { SetText(IDC_COMMAND, "echo two"); Press(VK_RETURN); }, {"echo two"}, ""},
        {"Enter in the password after Tab passed 设置", IDC_DHCP, 2, [] { Press(VK_RETURN); }, {}, ""},
        {"Enter on the check box", IDC_DHCP, 0, [] { Press(VK_RETURN); }, {}, ""},
        {"Esc in the command", IDC_COMMAND, 0, [] { Press(VK_ESCAPE); }, {}, ""},
        {"Esc in the password", IDC_PASSWORD, 0, [] { Press(VK_ESCAPE); }, {}, ""},
        {"Esc on a button", IDC_PORT_TOGGLE, 0, [] { Press(VK_ESCAPE); }, {}, ""},
        {"Esc in the output", IDC_OUTPUT, 0, [] { Press(VK_ESCAPE); }, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetBoxes();
        SetText(IDC_COMMAND, "echo one");
        SetFocus(Item(c.focus));
        for (int i = 0; i < c.tabs; ++i)
            Press(VK_TAB);
        const LRESULT dhcp = SendMessageW(Item(IDC_DHCP), BM_GETCHECK, 0, 0);
        const int focused = Focused();
        const std::vector<Bytes> sent = Sent(c.keys, 1000);
        std::vector<Bytes> expected;
        for (const std::string& s : c.sent)
            expected.push_back(ShellFrame(s));
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(OneBox(), c.box.empty() ? std::string("0 boxes") : c.box);
        EXPECT_EQ(Text(IDC_COMMAND).find_first_of("\r\n") == std::string::npos, c.box != lineBreak) << "a line break typed";
        // Where the technician was, a box or not: never on 关闭串口, where
        // the next Enter would close the port.
        EXPECT_EQ(Focused(), focused) << "the focus moved";
        EXPECT_EQ(SendMessageW(Item(IDC_DHCP), BM_GETCHECK, 0, 0), dhcp);
        EXPECT_TRUE(IsWindow(Dialog()) && IsWindowVisible(Dialog()) && IsWindowVisible(GetParent(Dialog())));
        EXPECT_TRUE(PortIsOpen(State().device));
    }
    EnsureClosed();
}

// A move to a monitor of another scale, as Windows announces it (Wine has
// one screen and never does): the window takes the suggested rectangle, and
// everything is redrawn at the new scale; back again, every control is
// where it was.
TEST(Scale, LayoutFitsTheScaleAndFollowsAChangeOfMonitor)
{
    HWND window = GetParent(Dialog());
    HDC screen = GetDC(nullptr);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    std::printf("Wine's scale %u DPI; the window %u\n", dpi, WindowDpi(window));
    ExpectLayoutAt(dpi);

    auto places = [] {
        std::vector<std::string> all;
        for (HWND c = GetWindow(Dialog(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
            all.push_back(Describe(PlaceOf(c)));
        return all;
    };
    const std::vector<std::string> before = places();
    RECT original{};
    GetWindowRect(window, &original);
    const UINT other = dpi == 96 ? 144 : 96;
    const RECT work = WorkAreaOf(window);
    for (UINT to : {other, dpi}) {
        RECT suggested{original.left, original.top, original.left + MulDiv(582, to, 96),
                       original.top + MulDiv(615, to, 96)};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
        Pump(300);
        RECT now{}, inside{};
        GetWindowRect(window, &now);
        // Where the suggestion fits the work area it is taken as it is.
        if (IntersectRect(&inside, &suggested, &work) && EqualRect(&inside, &suggested)) {
            EXPECT_EQ(Describe(now), Describe(suggested));
        }
        ExpectLayoutAt(to);
    }
    EXPECT_EQ(places(), before);
    // A suggestion that reaches past the work area's bottom right corner is
    // moved back onto it.
    RECT now{}, suggested{};
    GetWindowRect(window, &now);
    OffsetRect(&suggested, work.right - 40, work.bottom - 40);
    suggested.right = suggested.left + now.right - now.left;
    suggested.bottom = suggested.top + MulDiv(615, dpi, 96);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(300);
    ExpectLayoutAt(dpi);
    EXPECT_EQ(places(), before);

    // A work area lower than the dialog (a taskbar on a 768-pixel screen at
    // 150 %) cuts the window as high as the dialog less 40 pixels at 100 %:
    // the output list gives them up, and every control stays whole.
    RECT client{}, dialogRect{};
    GetWindowRect(window, &now);
    GetClientRect(window, &client);
    GetWindowRect(Dialog(), &dialogRect);
    const int cut = client.bottom - (dialogRect.bottom - dialogRect.top) + MulDiv(40, dpi, 96);
    SetWindowPos(window, nullptr, 0, 0, now.right - now.left, now.bottom - now.top - cut, SWP_NOMOVE | SWP_NOZORDER);
    Pump(300);
    ExpectControlsWholeAt(dpi);
    SetWindowPos(window, nullptr, 0, 0, now.right - now.left, now.bottom - now.top, SWP_NOMOVE | SWP_NOZORDER);
    Pump(300);
    EXPECT_EQ(places(), before);
}
