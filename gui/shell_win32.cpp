// The main window: a plain frame whose only content is the configuration
// dialog, created as its child while the window itself is being created.
#include "gui/app_shell.h"

#include <commctrl.h>

namespace {

constexpr int CreationX = 550;
constexpr int CreationY = 180;
constexpr int MainWindowWidth = 582;
constexpr int MainWindowHeight = 615;

AppShell* ShellOf(HWND window)
{
    return reinterpret_cast<AppShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

void LoadMainWindowTexts(AppShell& app, HINSTANCE instance)
{
    app.instance = instance;
    LoadStringW(instance, IDS_APP_TITLE, app.title, MainWindowTextSize);
    LoadStringW(instance, IDC_QUORVANE, app.className, MainWindowTextSize);
}

void RegisterMainWindowClass(const AppShell& app)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = app.instance;
    windowClass.hIcon = LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_QUORVANE));
    // IDC_ARROW is a resource number dressed as a narrow string pointer.
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = app.className;
    windowClass.hIconSm = LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

bool CreateMainWindow(AppShell& app, int showCommand)
{
    // The dialog template uses the IP-address control; its class must exist
    // before the dialog is created in WM_CREATE below.
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);

    app.dialog.instance = app.instance;
    HWND window = CreateWindowExW(0, app.className, app.title, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                                  CreationX, CreationY, MainWindowWidth, MainWindowHeight, nullptr, nullptr,
                                  app.instance, &app);
    if (window == nullptr) {
        return false;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window, HWND_NOTOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    AppShell* app = ShellOf(window);
    switch (message) {
    case WM_NCCREATE:
        app = static_cast<AppShell*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        app->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_CREATE:
        SetPropW(window, WindowMarkerProperty, reinterpret_cast<HANDLE>(1));
        CreateDialogParamW(app->instance, MAKEINTRESOURCEW(IDD_CONFIG), window, ConfigDialogProc,
                           reinterpret_cast<LPARAM>(&app->dialog));
        return 0;
    case WM_DEVICECHANGE:
        // Broadcast to top-level windows only: the dialog hears it from here.
        if (app->dialog.window != nullptr)
            OnDeviceChange(app->dialog, wParam);
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
