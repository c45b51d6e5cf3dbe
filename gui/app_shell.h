// The application shell: the main window that hosts the configuration
// dialog. Separate from WinMain so that test programs can create the window
// with a shell of their own. A Unicode window: its texts are plain ASCII,
// and the dialog it hosts takes wide text.
#pragma once

#include <windows.h>

#include "gui/config_dialog_win32.h"
#include "gui/resource.h"

constexpr int MainWindowTextSize = 100;
constexpr wchar_t WindowMarkerProperty[] = L"" QV_WINDOW_MARKER;

// Everything the program's windows hold, made by WinMain (or a test) and
// reached through the windows' user data: the main window's through
// GWLP_USERDATA, the dialog's through DWLP_USER. User-interface thread,
// but for what ConfigDialogState says of its own fields.
struct AppShell {
    HINSTANCE instance = nullptr;
    wchar_t title[MainWindowTextSize] = {};
    wchar_t className[MainWindowTextSize] = {};
    HWND window = nullptr;
    HACCEL accelerators = nullptr;   // Alt+/ and Alt+?, swallowed
    ConfigDialogState dialog;
};

// Strings 103 and 109 into the shell's title and class name.
void LoadMainWindowTexts(AppShell& app, HINSTANCE instance);
void RegisterMainWindowClass(const AppShell& app);
// Creates the main window, and with it the dialog; sizes it for the
// monitor's scale, centres and shows it.
bool CreateMainWindow(AppShell& app, int showCommand);
// One message of the user-interface thread's loop, taken from the queue:
// the accelerators first, then the dialog manager for the dialog's keys
// (Tab, Enter, Esc, arrows), else translated and dispatched.
void HandleShellMessage(const AppShell& app, MSG& message);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
