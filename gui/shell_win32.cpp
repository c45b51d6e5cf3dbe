// The main window: a plain frame whose only content is the configuration
// dialog, created as its child while the window itself is being created.
#include "gui/app_shell.h"

#include <commctrl.h>

#include "gui/dialog_view_win32.h"

namespace {

constexpr int CreationX = 550;
constexpr int CreationY = 180;
constexpr int MainWindowWidth = 582;    // at 100 % (96 DPI), in proportion above it
constexpr int MainWindowHeight = 615;

AppShell* ShellOf(HWND window)
{
    return reinterpret_cast<AppShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Moved to a monitor of another scale: the rectangle Windows suggests,
// kept inside that monitor's work area, and the dialog redrawn for the new
// scale (the same in x and y).
void MoveToNewScale(AppShell& app, UINT dpi, const RECT& suggested)
{
    const RECT placed = FitToWorkArea(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), suggested, false);
    SetWindowPos(app.window, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (app.dialog.window != nullptr)
        RescaleDialog(app.dialog, dpi);
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
    app.accelerators = LoadAcceleratorsW(app.instance, MAKEINTRESOURCEW(IDC_QUORVANE));
    // WS_EX_CONTROLPARENT: the dialog manager's Tab takes the dialog's
    // controls as the window's own.
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, app.className, app.title,
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, CreationX, CreationY,
                                  MainWindowWidth, MainWindowHeight, nullptr, nullptr, app.instance, &app);
    if (window == nullptr) {
        return false;
    }
    // Created on its monitor, the window knows that monitor's scale; it is
    // centred in that monitor's work area, and no taller than it.
    const UINT dpi = WindowDpi(window);
    const RECT scaled{0, 0, ScaleForDpi(MainWindowWidth, dpi), ScaleForDpi(MainWindowHeight, dpi)};
    const RECT placed = FitToWorkArea(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), scaled, true);
    SetWindowPos(window, HWND_NOTOPMOST, placed.left, placed.top, placed.right - placed.left,
                 placed.bottom - placed.top, SWP_NOACTIVATE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

void HandleShellMessage(const AppShell& app, MSG& message)
{
    if (TranslateAcceleratorW(message.hwnd, app.accelerators, &message))
        return;
    // The dialog is modeless: only this call gives it the keyboard.
    if (app.dialog.window != nullptr && IsDialogMessageW(app.dialog.window, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
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
    // The dialog is a child and never active itself, so the main window
    // keeps the focused control across a message box or another program,
    // as a top-level dialog does for itself; DefWindowProc would put the
    // focus on the main window, out of the dialog manager's reach.
    case WM_ACTIVATE:
        if (app->dialog.window == nullptr)
            return DefWindowProcW(window, message, wParam, lParam);
        if (LOWORD(wParam) == WA_INACTIVE)
            SaveDialogFocus(app->dialog);
        else if (!HIWORD(wParam))   // not while minimised
            RestoreDialogFocus(app->dialog);
        return 0;
    case WM_SETFOCUS:
        if (app->dialog.window != nullptr)
            RestoreDialogFocus(app->dialog);
        return 0;
    case WM_DPICHANGED:
        MoveToNewScale(*app, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    // A window cut to a low screen's work area has less room than the
    // dialog: the dialog fits itself to it. Minimised, there is no room to fit.
    case WM_SIZE:
        if (app->dialog.window != nullptr && wParam != SIZE_MINIMIZED)
            FitDialogHeight(app->dialog, HIWORD(lParam));
        return 0;
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
