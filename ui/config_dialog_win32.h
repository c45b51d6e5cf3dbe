// The configuration dialog's Win32 side: its procedure, for the shell that
// creates it, and the state its handlers share.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>

// Carries a ShowNotice text (lParam, a static constant) from the assembler
// thread to the dialog's own thread, which shows the modal box.
constexpr UINT NoticeMessage = WM_APP + 1;

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct ConfigDialogState {
    HWND window;
    HWND portList;
    HWND statusLabel;
    std::array<uint32_t, 32> ports;
    uint32_t portCount;
    bool connected;
    // Written on the user-interface thread, read by ShowAdminPassword on the
    // assembler thread.
    std::atomic<bool> passwordMasked;
    HBITMAP eyeShown;
    HBITMAP eyeHidden;
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

// Helpers over the dialog's controls (dialog_view_win32.cpp).
HWND DialogItem(int id);
void EnableItems(std::initializer_list<int> ids, bool enable);
void ShowDialogMessage(const char* text);   // no caption, information icon, OK
void KeepLabelsOnOneLine();                 // at initialisation
