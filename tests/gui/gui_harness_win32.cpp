#include "tests/gui/gui_harness_win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/app_shell.h"
#include "app/resource.h"
#include "ui/config_dialog_win32.h"
#include "ui/texts.h"

namespace gui {

namespace {

std::mutex boxLock;
std::vector<Box> boxes;
std::function<void(const Box&)> boxHook;
DWORD uiThread = 0;
HWND mainWindow = nullptr;

// The message box's text control has id 0xFFFF on Windows; look for any
// static child with text otherwise.
std::string BoxText(HWND box)
{
    char text[512] = {};
    if (HWND label = GetDlgItem(box, 0xFFFF)) {
        GetWindowTextA(label, text, sizeof text);
        return text;
    }
    std::string found;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            char cls[32] = {};
            char buf[512] = {};
            GetClassNameA(child, cls, sizeof cls);
            GetWindowTextA(child, buf, sizeof buf);
            auto* s = reinterpret_cast<std::string*>(out);
            if (lstrcmpiA(cls, "Static") == 0 && buf[0] != '\0' && s->empty()) {
                *s = buf;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void AnswerBoxes()
{
    std::vector<HWND> answered;
    for (;;) {
        std::vector<HWND> open;
        EnumThreadWindows(
            uiThread,
            [](HWND w, LPARAM out) -> BOOL {
                char cls[16] = {};
                GetClassNameA(w, cls, sizeof cls);
                if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w) && w != configDialog.window) {
                    reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&open));
        for (HWND box : open) {
            bool seen = false;
            for (HWND a : answered) {
                seen = seen || a == box;
            }
            if (seen) {
                continue;
            }
            Box info;
            info.text = BoxText(box);
            char caption[128] = {};
            GetWindowTextA(box, caption, sizeof caption);
            info.caption = caption;
            HWND owner = GetWindow(box, GW_OWNER);
            info.ownedByDialog = owner == configDialog.window || owner == mainWindow;
            info.shownAt = GetTickCount64();
            std::function<void(const Box&)> hook;
            {
                std::lock_guard<std::mutex> guard(boxLock);
                boxes.push_back(info);
                hook = boxHook;
            }
            if (hook) {
                hook(info);
            }
            answered.push_back(box);
            if (answered.size() > 64) {
                answered.erase(answered.begin());
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
}

}  // namespace

HWND MainWindow()
{
    if (mainWindow == nullptr) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadMainWindowTexts(instance);
        RegisterMainWindowClass(instance);
        EXPECT_TRUE(CreateMainWindow(instance, SW_SHOWNORMAL));
        mainWindow = FindWindowA(MainWindowClassName, MainWindowTitle);
        uiThread = GetCurrentThreadId();
        std::thread(AnswerBoxes).detach();
        Pump(200);
    }
    return mainWindow;
}

HWND Dialog()
{
    MainWindow();
    return configDialog.window;
}

HWND Item(int id) { return GetDlgItem(Dialog(), id); }

std::string Text(int id)
{
    char text[2048] = {};
    GetWindowTextA(Item(id), text, sizeof text);
    return text;
}

bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }

void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10),
                                  QS_ALLINPUT);
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

void SetText(int id, const char* text) { SetWindowTextA(Item(id), text); }

std::vector<std::string> OutputLines()
{
    std::vector<std::string> lines;
    HWND list = Item(IDC_OUTPUT);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string line(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]));
        line.resize(std::strlen(line.c_str()));
        lines.push_back(line);
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

std::vector<std::vector<uint8_t>> LoggedFrames(const char* direction)
{
    std::vector<std::vector<uint8_t>> frames;
    const char* unixPath = std::getenv("QV_FRAMES_LOG");
    if (unixPath == nullptr) {
        ADD_FAILURE() << "QV_FRAMES_LOG is not set";
        return frames;
    }
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return frames;
    }
    static char line[16384];
    while (std::fgets(line, sizeof line, file)) {
        char tag[8] = {};
        int consumed = 0;
        unsigned long ms = 0;
        if (std::sscanf(line, "%lu %7s %n", &ms, tag, &consumed) < 2 || std::strcmp(tag, direction) != 0) {
            continue;
        }
        std::vector<uint8_t> bytes;
        for (const char* p = line + consumed; *p;) {
            unsigned value = 0;
            int used = 0;
            if (std::sscanf(p, "%2x%n", &value, &used) != 1) {
                break;
            }
            bytes.push_back(static_cast<uint8_t>(value));
            p += used;
            while (*p == ' ') {
                ++p;
            }
        }
        frames.push_back(bytes);
    }
    std::fclose(file);
    return frames;
}

std::vector<std::vector<uint8_t>> FramesSince(size_t mark, const char* direction)
{
    std::vector<std::vector<uint8_t>> all = LoggedFrames(direction);
    if (mark >= all.size()) {
        return {};
    }
    return std::vector<std::vector<uint8_t>>(all.begin() + static_cast<long>(mark), all.end());
}

uint32_t CountCode(const std::vector<std::vector<uint8_t>>& frames, uint8_t code)
{
    uint32_t n = 0;
    for (const auto& f : frames) {
        n += f.size() > 2 && f[2] == code ? 1 : 0;
    }
    return n;
}

void EnsureClosed()
{
    if (configDialog.connected) {
        Click(IDC_PORT_TOGGLE);
    }
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

bool SaveWindowBitmap(const char* path)
{
    // The dialog alone: under Xvfb there is no window manager to draw the
    // main window's frame, which would show as a black band.
    RECT rect{};
    GetWindowRect(Dialog(), &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<uint8_t> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(&info, sizeof info, 1, file);
    std::fwrite(pixels.data(), 1, pixels.size(), file);
    std::fclose(file);
    return true;
}

}  // namespace gui
