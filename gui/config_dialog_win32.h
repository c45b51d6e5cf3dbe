// The configuration dialog's Win32 side: its procedure, for the shell that
// creates it, and its state, made of one part per concern, each in the
// header of the file that writes it. The dialog is a Unicode window; see
// window_text_win32.h for how its GBK texts reach it.
#pragma once

#include <windows.h>

#include <atomic>

#include "gui/dialog_scale_win32.h"
#include "gui/dialog_session_win32.h"
#include "gui/notices_win32.h"
#include "gui/port_list_win32.h"

// The dialog's template parameter (CreateDialogParamW's lParam) is its
// ConfigDialogState, kept in DWLP_USER from WM_INITDIALOG on.
INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One dialog's state, reached through DWLP_USER, the subclassed controls'
// GWLP_USERDATA and the session's callback context.
struct ConfigDialogState {
    // User-interface thread only.
    HINSTANCE instance = nullptr;     // the module with the eye bitmaps
    HWND window = nullptr;            // the dialog, owner of every message box
    HWND statusLabel = nullptr;
    WNDPROC outputListProc = nullptr; // the list's own procedure, behind the copy command
    WNDPROC commandEditProc = nullptr;// the command field's own, behind its keys
    HWND savedFocus = nullptr;        // the focused control while the main window is inactive
    DialogPortList portList;          // each part says which thread may touch its fields
    DialogScale scale;
    NoticeTurns notices;
    // Written on the user-interface thread, read on the assembler thread by
    // ShowAdminPassword.
    std::atomic<bool> passwordMasked{true};
    // From the dialog's initialisation until the message loop has ended.
    DialogSession device;
};

// The keyboard (config_dialog_win32.cpp), user-interface thread: the
// focus is kept in the dialog while the main window is inactive (a message
// box, another program) and put back when it is activated again, and put
// on the first enabled control when disabling took it away.
void SaveDialogFocus(ConfigDialogState& d);
void RestoreDialogFocus(ConfigDialogState& d);
