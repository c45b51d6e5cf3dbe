// The dialog procedure: initialisation, dispatch of commands and timer ticks,
// the owner-drawn eye button and the label colours.
#include "ui/config_dialog_win32.h"

#include <commctrl.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "app/app_shell.h"
#include "app/resource.h"
#include "link/frame_receiver.h"
#include "link/serial_port.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

ConfigDialogState configDialog{};

namespace {

constexpr int EyeWidth = 26;
constexpr int EyeHeight = 17;
constexpr int EyeLeft = 11;
constexpr int EyeTop = 11;
constexpr COLORREF StatusTextColour = RGB(100, 100, 100);

void LoadEyeImages()
{
    configDialog.eyeShown = LoadBitmapA(AppInstance, MAKEINTRESOURCEA(IDB_PASSWORD_SHOWN));
    configDialog.eyeHidden = LoadBitmapA(AppInstance, MAKEINTRESOURCEA(IDB_PASSWORD_HIDDEN));
}

void DeleteEyeImages()
{
    DeleteObject(configDialog.eyeShown);
    DeleteObject(configDialog.eyeHidden);
    // A dialog created again later loads them afresh.
    configDialog.eyeShown = nullptr;
    configDialog.eyeHidden = nullptr;
}

void InitDialog(HWND window)
{
    configDialog.window = window;

    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);

    StartReceiver();

    const uint32_t mask = EnumeratePorts();
    configDialog.portCount = 0;
    for (uint32_t i = 0; i < HighestProbedPort; ++i) {
        if (mask & (1u << i)) {
            configDialog.ports[configDialog.portCount++] = i + 1;
        }
    }
    configDialog.portList = DialogItem(IDC_PORT_LIST);
    for (uint32_t i = 0; i < configDialog.portCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, texts::PortNameFormat, static_cast<int>(configDialog.ports[i]));
        SendMessageA(configDialog.portList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(configDialog.portList, CB_SETCURSEL, 0, 0);

    configDialog.statusLabel = DialogItem(IDC_STATUS);
    KeepLabelsOnOneLine();

    EnableItems({IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK}, false);
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageA(DialogItem(id), IPM_CLEARADDRESS, 0, 0);
    }
    EnableItems({IDC_PASSWORD, IDC_CHANGE_PASSWORD, IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE,
                 IDC_COMMAND, IDC_OUTPUT},
                false);

    configDialog.passwordMasked = true;
    SendMessageA(DialogItem(IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(configDialog.eyeHidden));
    EnableItems({IDC_SHOW_PASSWORD}, false);
}

void OnCommand(int id)
{
    switch (id) {
    case IDC_PORT_TOGGLE: TogglePort(); break;
    case IDC_QUERY_NETWORK: RunFixedCommand(texts::QueryNetworkCommand); break;
    case IDC_QUERY_ROUTE: RunFixedCommand(texts::QueryRouteCommand); break;
    case IDC_EXECUTE: RunTypedCommand(); break;
    case IDC_DHCP: OnDhcpBoxChanged(); break;
    case IDC_SET_NETWORK: SendNetworkSettings(); break;
    case IDC_CHANGE_PASSWORD: SendNewPassword(); break;
    case IDC_SHOW_PASSWORD: ApplyPasswordMask(!configDialog.passwordMasked); break;
    default: break;
    }
}

// Only the image: the button gets no frame, focus mark or pressed look.
void DrawEyeButton(const DRAWITEMSTRUCT& item)
{
    HDC memory = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous =
        SelectObject(memory, configDialog.passwordMasked ? configDialog.eyeHidden : configDialog.eyeShown);
    StretchBlt(item.hDC, EyeLeft, EyeTop, EyeWidth, EyeHeight, memory, 0, 0, EyeWidth, EyeHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// Device notices are shown one at a time. MessageBoxA runs a message loop of
// its own, which delivers the next NoticeMessage to this procedure while a
// box is open; showing it there would open a box inside the box, as deep as
// the device repeats itself. So a notice that arrives while a box is open
// waits, a text that is already waiting is not queued again, and the
// outermost call shows the waiting notices in order once its box is closed.
// User-interface thread only.
constexpr uint32_t MaxWaitingNotices = 4;   // more than the distinct notice texts
struct NoticeTurns {
    bool boxOpen;
    std::array<const char*, MaxWaitingNotices> waiting;
    uint32_t waitingCount;
};
NoticeTurns notices{};

void QueueNotice(const char* text)
{
    for (uint32_t i = 0; i < notices.waitingCount; ++i) {
        if (std::strcmp(notices.waiting[i], text) == 0)
            return;
    }
    if (notices.waitingCount < MaxWaitingNotices)
        notices.waiting[notices.waitingCount++] = text;
}

const char* TakeWaitingNotice()
{
    if (notices.waitingCount == 0)
        return nullptr;
    const char* first = notices.waiting[0];
    for (uint32_t i = 1; i < notices.waitingCount; ++i)
        notices.waiting[i - 1] = notices.waiting[i];
    --notices.waitingCount;
    return first;
}

void ShowNoticeInTurn(HWND window, const char* text)
{
    if (notices.boxOpen) {
        QueueNotice(text);
        return;
    }
    notices.boxOpen = true;
    for (const char* next = text; next != nullptr; next = TakeWaitingNotice())
        MessageBoxA(window, next, texts::NoticeCaption, MB_ICONINFORMATION | MB_OK);
    notices.boxOpen = false;
}

INT_PTR ColourStatic(HDC dc, HWND control)
{
    SetTextColor(dc, control == configDialog.statusLabel ? StatusTextColour : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (configDialog.eyeShown == nullptr && message != WM_DESTROY && message != WM_NCDESTROY) {
        LoadEyeImages();
    }
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(window);
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return FALSE;
    case WM_TIMER:
        if (wParam == SupervisionTimerId) {
            OnSupervisionTick();
        }
        return FALSE;
    case WM_DRAWITEM:
        DrawEyeButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case NoticeMessage:
        // Shown here rather than on the assembler thread, so that replies and
        // the supervision go on while the technician reads it.
        ShowNoticeInTurn(window, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_DESTROY:
        DeleteEyeImages();
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}
