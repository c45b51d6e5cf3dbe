#include "tests/gui/gui_harness_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "gui/app_shell.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"

namespace gui {

namespace {

std::mutex boxLock;
std::vector<Box> boxes;
std::function<void(const Box&)> boxHook;
DWORD uiThread = 0;
AppShell* shell = nullptr;   // made once, with the main window; never freed (its session may still be ending)

// The first static child with text: the message (id 0xFFFF on Windows).
BOOL CALLBACK FindBoxText(HWND child, LPARAM out)
{
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    auto* s = reinterpret_cast<std::string*>(out);
    if (lstrcmpiA(cls, "Static") == 0 && s->empty())
        *s = GbkOf(child);   // the icon's static has no text, the message's has
    return TRUE;
}

BOOL CALLBACK FindBoxes(HWND w, LPARAM out)
{
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w) && w != shell->dialog.window)
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}

void AnswerBoxes()
{
    std::vector<HWND> answered;
    for (;; Sleep(20)) {
        std::vector<HWND> open;
        EnumThreadWindows(uiThread, FindBoxes, reinterpret_cast<LPARAM>(&open));
        for (HWND box : open) {
            if (std::find(answered.begin(), answered.end(), box) != answered.end())
                continue;
            Box info{};
            EnumChildWindows(box, FindBoxText, reinterpret_cast<LPARAM>(&info.text));
            info.caption = GbkOf(box);
            HWND owner = GetWindow(box, GW_OWNER);
            info.ownedByDialog = owner == shell->dialog.window || owner == shell->window;
            info.shownAt = GetTickCount64();
            std::function<void(const Box&)> hook;
            {
                std::lock_guard<std::mutex> guard(boxLock);
                boxes.push_back(info);
                hook = boxHook;
            }
            if (hook)
                hook(info);
            answered.push_back(box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
}

// Top-down 32-bit pixels of a bitmap selected into `dc`.
Pixels Read(HDC dc, HBITMAP bitmap, int width, int height)
{
    Pixels p;
    p.width = width;
    p.height = height;
    p.rgb.resize(static_cast<size_t>(width * height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), p.rgb.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& v : p.rgb)
        v &= 0xFFFFFF;
    return p;
}

// The dialog's session ends as in the program: once its windows are gone,
// so no window call of its assembler thread can wait for this thread.
class EndTheDialog : public ::testing::Environment {
    void TearDown() override
    {
        if (shell == nullptr || shell->window == nullptr)
            return;
        DestroyWindow(shell->window);
        Pump(100);
        EndDialogSession(shell->dialog);
    }
};
const ::testing::Environment* const endTheDialog = ::testing::AddGlobalTestEnvironment(new EndTheDialog);

}  // namespace

HWND Dialog()
{
    return State().window;
}

ConfigDialogState& State()
{
    if (shell == nullptr) {
        shell = new AppShell();
        LoadMainWindowTexts(*shell, GetModuleHandleA(nullptr));
        RegisterMainWindowClass(*shell);
        EXPECT_TRUE(CreateMainWindow(*shell, SW_SHOWNORMAL));
        uiThread = GetCurrentThreadId();
        std::thread(AnswerBoxes).detach();
        Pump(200);
    }
    return shell->dialog;
}

HWND Item(int id) { return GetDlgItem(Dialog(), id); }

std::string GbkOf(HWND window)
{
    wchar_t wide[2048] = {};
    GetWindowTextW(window, wide, 2048);
    char text[4096] = {};
    EXPECT_TRUE(NarrowToGbk(wide, text, sizeof text)) << "not a GBK text";
    return text;
}

std::string Text(int id) { return GbkOf(Item(id)); }

bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                continue;
            if (shell != nullptr) {
                HandleShellMessage(*shell, message);   // the program's own loop: keys reach the dialog manager
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (done() || now >= end)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10), QS_ALLINPUT);
    }
}

void Click(int id)
{
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void ClickCheckBox(int id)
{
    const LRESULT ticked = SendMessageA(Item(id), BM_GETCHECK, 0, 0);
    SendMessageA(Item(id), BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
    Click(id);
}

void SetText(int id, const char* text) { SetGbkText(Item(id), text); }

std::vector<std::string> OutputLines()
{
    std::vector<std::string> lines;
    HWND list = Item(IDC_OUTPUT);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
        std::string gbk(line.size() * 2, '\0');
        EXPECT_TRUE(NarrowToGbk(line.c_str(), &gbk[0], gbk.size()));
        lines.push_back(gbk.c_str());
    }
    return lines;
}

std::vector<Box> Boxes()
{
    std::lock_guard<std::mutex> guard(boxLock);
    return boxes;
}

void ResetBoxes()
{
    std::lock_guard<std::mutex> guard(boxLock);
    boxes.clear();
}

void SetBoxHook(std::function<void(const Box&)> hook)
{
    std::lock_guard<std::mutex> guard(boxLock);
    boxHook = std::move(hook);
}

// Lines of "MS TAG HH HH ...".
std::vector<Bytes> LoggedFrames(const char* direction)
{
    std::vector<Bytes> frames;
    const char* unixPath = std::getenv("QV_FRAMES_LOG");
    if (unixPath == nullptr) {
        ADD_FAILURE() << "QV_FRAMES_LOG is not set";
        return frames;
    }
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    FILE* file = std::fopen(path.c_str(), "rb");
    static char line[16384];
    while (file != nullptr && std::fgets(line, sizeof line, file)) {
        char tag[8] = {};
        int used = 0;
        unsigned long ms = 0;
        if (std::sscanf(line, "%lu %7s%n", &ms, tag, &used) < 2 || std::strcmp(tag, direction) != 0)
            continue;
        frames.push_back(Hex(line + used));
    }
    if (file != nullptr)
        std::fclose(file);
    return frames;
}

std::vector<Bytes> FramesSince(size_t mark, const char* direction)
{
    std::vector<Bytes> all = LoggedFrames(direction);
    return mark >= all.size() ? std::vector<Bytes>() : std::vector<Bytes>(all.begin() + static_cast<long>(mark), all.end());
}

uint32_t CountCode(const std::vector<Bytes>& frames, uint8_t code)
{
    uint32_t n = 0;
    for (const auto& f : frames)
        n += f.size() > 2 && f[2] == code ? 1 : 0;
    return n;
}

void EnsureClosed()
{
    if (PortIsOpen(State().device))
        Click(IDC_PORT_TOGGLE);
    Pump(300);
}

void OpenPortAndWait(DWORD ms)
{
    Click(IDC_PORT_TOGGLE);
    // The status is set late in the password reply, after the network reply
    // has been applied whole (replies are handled one at a time, in order);
    // an enabled control alone may be mid-reply.
    PumpUntil([] { return Text(IDC_STATUS) == texts::Connected && Enabled(IDC_DHCP); }, ms);
    Pump(100);
}

Bytes ShellFrame(const std::string& text) { return MakeFrame(0x05, Bytes(text.c_str(), text.c_str() + text.size() + 1)); }

std::vector<Bytes> Sent(const std::function<void()>& action, DWORD settleMs)
{
    const size_t mark = LoggedFrames("RX").size();
    action();
    Pump(settleMs);
    std::vector<Bytes> requests;
    for (auto& f : FramesSince(mark, "RX"))
        if (f.size() > 2 && f[2] != 0x07)
            requests.push_back(f);
    return requests;
}

std::string OneBox()
{
    const std::vector<Box> shown = Boxes();
    if (shown.size() != 1)
        return std::to_string(shown.size()) + " boxes";
    EXPECT_TRUE(shown[0].ownedByDialog);
    EXPECT_FALSE(shown[0].caption.empty()) << "an error box has the system's default title";
    return shown[0].text + (shown[0].caption == texts::NoticeCaption ? " [notice]" : "");
}

int EyeDifferences(HBITMAP expected)
{
    Pump(300);
    const Pixels screen = ScreenOf(Item(IDC_SHOW_PASSWORD)), image = BitmapPixels(expected);
    const int left = MulDiv(11, static_cast<int>(State().scale.dpi), 96), top = MulDiv(11, static_cast<int>(State().scale.dpi), 96);
    if (left + image.width > screen.width || top + image.height > screen.height)
        return -1;   // the image does not fit its button
    int differ = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            differ += screen.At(left + x, top + y) != image.At(x, y);
    return differ;
}

Pixels ScreenOf(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    Pixels p = Read(memory, bitmap, r.right - r.left, r.bottom - r.top);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

Pixels BitmapPixels(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    Pixels p = Read(screen, bitmap, info.bmWidth, info.bmHeight);
    ReleaseDC(nullptr, screen);
    return p;
}

}  // namespace gui
