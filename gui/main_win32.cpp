// Entry point: the shell's state, the main window and the user-interface
// thread's message loop.
#include <windows.h>

#include <memory>

#include "gui/app_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // On the heap: the dialog's session holds its receive buffers in place.
    auto app = std::make_unique<AppShell>();
    LoadMainWindowTexts(*app, instance);
    RegisterMainWindowClass(*app);
    if (!CreateMainWindow(*app, showCommand)) {
        return 0;
    }
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HandleShellMessage(*app, message);
    }
    // Only now, with every window gone, can the dialog's session end: no
    // window call of its assembler thread can wait for this thread any more.
    EndDialogSession(app->dialog);
    return static_cast<int>(message.wParam);
}
