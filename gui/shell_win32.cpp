// The main window: a plain frame whose only content is the configuration
// dialog, created as its child while the window itself is being created.
#include "gui/app_shell.h"

#include <commctrl.h>

#include "gui/resource.h"
#include "gui/config_dialog_win32.h"

HINSTANCE AppInstance = nullptr;
wchar_t MainWindowTitle[MainWindowTextSize] = {};
wchar_t MainWindowClassName[MainWindowTextSize] = {};

namespace {
// The dialog, to which the system's device-change broadcasts are passed on:
// they reach top-level windows only.
HWND configDialogWindow = nullptr;
constexpr int CreationX = 550;
constexpr int CreationY = 180;
constexpr int MainWindowWidth = 582;
constexpr int MainWindowHeight = 615;
}  // namespace

void LoadMainWindowTexts(HINSTANCE instance)
{
    LoadStringW(instance, IDS_APP_TITLE, MainWindowTitle, MainWindowTextSize);
    LoadStringW(instance, IDC_QUORVANE, MainWindowClassName, MainWindowTextSize);
}

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    // IDC_ARROW is a resource number dressed as a narrow string pointer.
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = MainWindowClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

bool CreateMainWindow(HINSTANCE instance, int showCommand)
{
    AppInstance = instance;

    // The dialog template uses the IP-address control; its class must exist
    // before the dialog is created in WM_CREATE below.
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);

    HWND window = CreateWindowExW(0, MainWindowClassName, MainWindowTitle,
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, CreationX,
                                  CreationY, MainWindowWidth, MainWindowHeight, nullptr, nullptr, instance,
                                  nullptr);
    if (window == nullptr) {
        return false;
    }
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window, HWND_NOTOPMOST, (screenWidth - width) / 2, (screenHeight - height) / 2, width,
                 height, SWP_SHOWWINDOW);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        SetPropW(window, WindowMarkerProperty, reinterpret_cast<HANDLE>(1));
        configDialogWindow =
            CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(IDD_CONFIG), window, ConfigDialogProc, 0);
        return 0;
    case WM_DEVICECHANGE:
        if (configDialogWindow != nullptr)
            SendMessageW(configDialogWindow, WM_DEVICECHANGE, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
