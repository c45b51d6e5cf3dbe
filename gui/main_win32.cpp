// Entry point: the main window and the user-interface thread's message loop.
#include <windows.h>

#include "gui/app_shell.h"
#include "gui/config_dialog_win32.h"
#include "gui/resource.h"

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
    // Only now, with every window gone, can the dialog's session end: no
    // window call of its assembler thread can wait for this thread any more.
    EndDialogSession();
    return static_cast<int>(message.wParam);
}
