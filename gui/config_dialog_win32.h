// The configuration dialog's Win32 side: its procedure, for the shell that
// creates it, and the state its handlers share. The dialog is a Unicode
// window; see window_text_win32.h for how its GBK texts reach it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "link/com_ports.h"
#include "session/session.h"

// Carries a ShowNotice text (lParam, a static constant) from the assembler
// thread to the dialog's own thread, which shows the modal box.
constexpr UINT NoticeMessage = WM_APP + 1;

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// User-interface thread only, but for passwordMasked and what the session's
// own threads touch.
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
    // The dialog's one session, from its initialisation until the message
    // loop has ended (EndDialogSession).
    Session session;
};

extern ConfigDialogState configDialog;

// Ends the session: called by WinMain once the message loop has returned,
// when no window call of the assembler thread can wait for this thread any
// more (in WM_DESTROY the assembler may be inside one, and the join would
// never return).
void EndDialogSession();

// The dialog operations of the supervision and of the replies; the view
// operations run on the assembler thread, the others on the user-interface
// thread (SetStatusText on either).
void SetStatusText(const char* text);
void ReleasePort();
void ClickPortToggle();         // the command of a click on 1014, sent synchronously
void ShowNoAnswerMessage();     // returns when the technician has dismissed it
void ShowNetConfig(const NetConfig& config);
void AppendOutputLine(const char* text);
void ShowAdminPassword(const char* text);
void ShowNotice(const char* text);   // handed to the user-interface thread; returns at once
void OnReply(void* context, const Reply& reply);   // the session's reply handler

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

// The supervision's timer: timer 1 of the dialog window, each tick a
// WM_TIMER to OnSupervisionTick.
constexpr UINT_PTR SupervisionTimerId = 1;

// Helpers over the dialog's controls (dialog_view_win32.cpp).
HWND DialogItem(int id);
void EnableItems(std::initializer_list<int> ids, bool enable);
void ShowDialogMessage(const char* text);   // no caption, information icon, OK
void ShowDialogMessage(const wchar_t* text);
void KeepLabelsOnOneLine();                 // at initialisation
