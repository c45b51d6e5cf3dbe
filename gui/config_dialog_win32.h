// The configuration dialog's Win32 side: its procedure, for the shell that
// creates it, and the state its handlers share. The dialog is a Unicode
// window; see window_text_win32.h for how its GBK texts reach it.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "link/port_list.h"
#include "session/session.h"

// Carries a ShowNotice text (lParam, a static constant) from the assembler
// thread to the dialog's own thread, which shows the modal box.
constexpr UINT NoticeMessage = WM_APP + 1;

// The dialog's template parameter (CreateDialogParamW's lParam) is its
// ConfigDialogState, kept in DWLP_USER from WM_INITDIALOG on.
INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Where the template puts a control, in dialog units (dialog_scale_win32.cpp).
struct ControlPlace {
    HWND control;
    RECT units;   // left, top, width, height
};
constexpr uint32_t MaxDialogControls = 32;   // the template has 26
constexpr UINT BaseDpi = 96;                  // 100 %: the main window's and the artwork's own scale

// Device notices waiting for their turn (config_dialog_win32.cpp).
constexpr uint32_t MaxWaitingNotices = 4;   // more than the distinct notice texts
struct NoticeTurns {
    bool boxOpen = false;
    std::array<const char*, MaxWaitingNotices> waiting{};
    uint32_t waitingCount = 0;
};

// One dialog's state, reached through DWLP_USER, the output list's
// GWLP_USERDATA and the session's callback context.
struct ConfigDialogState {
    // User-interface thread only.
    HINSTANCE instance = nullptr;     // the module with the eye bitmaps
    HWND window = nullptr;            // the dialog, owner of every message box
    HWND portList = nullptr;
    HWND statusLabel = nullptr;
    SerialPortList ports{};           // as the port list shows them, in its order, each with its identity
    uint32_t openPort = 0;            // the number of the open port; 0 while none is open
    bool portOpen = false;            // from a successful opening until the port is released
    HBITMAP eyeShown = nullptr;       // both drawn at the scale of `dpi`, at its size
    HBITMAP eyeHidden = nullptr;
    WNDPROC outputListProc = nullptr; // the list's own procedure, behind the copy command
    WNDPROC commandEditProc = nullptr;// the command field's own, behind its keys
    HWND savedFocus = nullptr;        // the focused control while the main window is inactive
    // The scale: the monitor's dots per inch (96 is 100 %). The places are
    // laid out again from dialog units at every change, as the dialog
    // manager lays out a template, so no rounding adds up over moves.
    UINT dpi = BaseDpi;
    UINT createdDpi = BaseDpi;
    SIZE dialogUnits{};
    std::array<ControlPlace, MaxDialogControls> places{};
    uint32_t placeCount = 0;
    HFONT scaledFont = nullptr;       // the dialog's font after a change of scale; owned
    NoticeTurns notices{};
    // Written on the user-interface thread, read on the assembler thread by
    // ShowAdminPassword.
    std::atomic<bool> passwordMasked{true};
    // The dialog's one session, from its initialisation until the message
    // loop has ended (EndDialogSession); its own threads per session.h.
    Session session;
};

// Ends the session: called once the message loop has returned, when no
// window call of the assembler thread can wait for this thread any more (in
// WM_DESTROY the assembler may be inside one, and the join would never
// return).
void EndDialogSession(ConfigDialogState& d);

// The dialog operations of the supervision and of the replies; the view
// operations run on the assembler thread, the others on the user-interface
// thread (SetStatusText on either).
void SetStatusText(ConfigDialogState& d, const char* text);
void ReleasePort(ConfigDialogState& d);
void ShowNoAnswerMessage(ConfigDialogState& d);   // returns when the technician has dismissed it
void ShowNetConfig(ConfigDialogState& d, const NetConfig& config);
void AppendOutputLine(ConfigDialogState& d, const char* text);
void ShowAdminPassword(ConfigDialogState& d, const char* text);
void ShowNotice(ConfigDialogState& d, const char* text);   // handed to the user-interface thread; returns at once
void OnReply(void* dialog, const Reply& reply);             // the session's reply handler

// Command handlers (dialog_commands_win32.cpp), user-interface thread.
void TogglePort(ConfigDialogState& d);
void CloseOpenPort(ConfigDialogState& d);   // the close branch of TogglePort
void ApplyPasswordMask(ConfigDialogState& d, bool masked);
void RunFixedCommand(ConfigDialogState& d, const char* command);
void RunTypedCommand(ConfigDialogState& d);
void OnDhcpBoxChanged(ConfigDialogState& d);
void SendNetworkSettings(ConfigDialogState& d);
void SendNewPassword(ConfigDialogState& d);
void CopyOutputLines(ConfigDialogState& d);   // every line of the output list to the clipboard

// The port list (port_list_win32.cpp), user-interface thread.
void RefreshPortList(ConfigDialogState& d);   // the system's list; the selection kept if it can be
uint32_t SelectedPortNumber(const ConfigDialogState& d);   // 0 when the list is empty
void OnDeviceChange(ConfigDialogState& d, WPARAM event);   // WM_DEVICECHANGE, passed on by the main window

// The keyboard (config_dialog_win32.cpp), user-interface thread: the
// focus is kept in the dialog while the main window is inactive (a message
// box, another program) and put back when it is activated again, and put
// on the first enabled control when disabling took it away.
void SaveDialogFocus(ConfigDialogState& d);
void RestoreDialogFocus(ConfigDialogState& d);

// The scale (dialog_scale_win32.cpp), user-interface thread.
UINT WindowDpi(HWND window);                           // the monitor's DPI for the window
int ScaleForDpi(int pixelsAt96, UINT dpi);
void RecordDialogLayout(ConfigDialogState& d);         // at initialisation: the scale and the places
void RescaleDialog(ConfigDialogState& d, UINT dpi);    // fonts, places, size and eye images at `dpi`
void LoadEyeImages(ConfigDialogState& d);              // both eye images at d.dpi
void DeleteScaledObjects(ConfigDialogState& d);        // when the dialog goes

// The supervision's timer: a timer of the dialog window, each tick a
// WM_TIMER to OnSupervisionTick.
constexpr UINT_PTR SupervisionTimerId = 1;

// Helpers over the dialog's controls (dialog_view_win32.cpp).
HWND DialogItem(const ConfigDialogState& d, int id);
void EnableItems(const ConfigDialogState& d, std::initializer_list<int> ids, bool enable);
void ShowDialogMessage(const ConfigDialogState& d, const char* text);   // no caption, information icon, OK
void ShowDialogMessage(const ConfigDialogState& d, const wchar_t* text);
void KeepLabelsOnOneLine(const ConfigDialogState& d);                   // at initialisation
