// The real quorvane.exe as a technician starts it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

TEST(Shell, MainWindowIsCentredMarkedAndClosesWithExitCodeZero)
{
    const char* unixPath = std::getenv("QV_QUORVANE_EXE");
    ASSERT_NE(unixPath, nullptr);
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    HWND window = nullptr;
    for (int i = 0; i < 300 && window == nullptr; ++i) {
        Sleep(50);
        window = FindWindowA("KXPELLORSDK_DEMO", "QuorvaneV1.0");
        if (window != nullptr && !IsWindowVisible(window)) {
            window = nullptr;
        }
    }
    ASSERT_NE(window, nullptr);
    Sleep(300);

    EXPECT_EQ(GetPropA(window, "kxPellorTest__20170523_QV"), reinterpret_cast<HANDLE>(1));
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "no sizing border";
    EXPECT_NE(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    EXPECT_EQ(width, 582);
    EXPECT_EQ(height, 615);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);

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
