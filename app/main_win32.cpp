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
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_QUORVANE));

    // No IsDialogMessage here: the dialog gets no keyboard navigation.
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
