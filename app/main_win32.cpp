// Entry point: the main window and the user-interface thread's message loop.
#include <windows.h>

#include "app/app_shell.h"
#include "app/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    LoadMainWindowTexts(instance);
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance, showCommand)) {
        return 0;
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QUORVANE));

    // No IsDialogMessage here: the dialog gets no keyboard navigation.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
