// The configuration dialog's Win32 side: its procedure, for the shell that
// creates it, and the state its handlers share. The dialog is a Unicode
// window; see window_text_win32.h for how its GBK texts reach it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "link/com_ports.h"

// Carries a ShowNotice text (lParam, a static constant) from the assembler
// thread to the dialog's own thread, which shows the modal box.
constexpr UINT NoticeMessage = WM_APP + 1;

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// User-interface thread only, but for passwordMasked.
struct ConfigDialogState {
    HWND window;
    HWND portList;
    HWND statusLabel;
    ComPortList ports;     // as the port list shows them, in its order
    uint32_t openPort;     // the number of the open port; 0 while none is open
    bool connected;
    // Written on the user-interface thread, read by ShowAdminPassword on the
    // assembler thread.
    std::atomic<bool> passwordMasked;
    HBITMAP eyeShown;
    HBITMAP eyeHidden;
    WNDPROC outputListProc;   // the list's own procedure, behind the copy command
};

extern ConfigDialogState configDialog;

// Command handlers (dialog_commands_win32.cpp), user-interface thread.
void TogglePort();
void ApplyPasswordMask(bool masked);
void RunFixedCommand(const char* command);
void RunTypedCommand();
void OnDhcpBoxChanged();
void SendNetworkSettings();
void SendNewPassword();
void CopyOutputLines();   // every line of the output list to the clipboard

// The port list (port_list_win32.cpp), user-interface thread.
void RefreshPortList();               // the system's list; the selection kept if it can be
uint32_t SelectedPortNumber();        // 0 when the list is empty
void OnDeviceChange(WPARAM event);    // WM_DEVICECHANGE, passed on by the main window

// Helpers over the dialog's controls (dialog_view_win32.cpp).
HWND DialogItem(int id);
void EnableItems(std::initializer_list<int> ids, bool enable);
void ShowDialogMessage(const char* text);   // no caption, information icon, OK
void ShowDialogMessage(const wchar_t* text);
void KeepLabelsOnOneLine();                 // at initialisation
