// The real quorvane.exe as a technician starts it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "gui/resource.h"

TEST(Shell, MainWindowIsCentredMarkedAndClosesWithExitCodeZero)
{
    const char* unixPath = std::getenv("QV_QUORVANE_EXE");
    ASSERT_NE(unixPath, nullptr);
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << path << ": error " << GetLastError();
    HWND window = nullptr;
    for (int i = 0; i < 300 && (window == nullptr || !IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowA(QV_MAIN_WINDOW_CLASS, QV_MAIN_WINDOW_TITLE);
    }
    ASSERT_TRUE(window != nullptr && IsWindowVisible(window));
    Sleep(300);

    EXPECT_EQ(GetPropA(window, QV_WINDOW_MARKER), reinterpret_cast<HANDLE>(1));
    // Minimise and maximise boxes, no sizing border, not topmost.
    const LONG_PTR wanted = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (wanted | WS_THICKFRAME), wanted);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // 582 x 615 at 96 DPI, in proportion at Wine's scale.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY), width = MulDiv(582, dpi, 96), height = MulDiv(615, dpi, 96);
    ReleaseDC(nullptr, screen);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
    // Centred in the work area: the screen less the taskbar.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(rect.left, work.left + (work.right - work.left - width) / 2);
    EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - height) / 2);

    // The dialog sits at the top left of the client area.
    HWND dialog = FindWindowExA(window, nullptr, "#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    RECT dialogRect{};
    GetWindowRect(dialog, &dialogRect);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(dialogRect.left, origin.x);
    EXPECT_EQ(dialogRect.top, origin.y);

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD code = 1234;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
