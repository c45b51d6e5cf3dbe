// The dialog procedure: initialisation, dispatch of commands and timer ticks,
// the owner-drawn eye button, the label colours and the output list's copy
// command.
#include "gui/config_dialog_win32.h"

#include <commctrl.h>

#include <array>
#include <cstring>

#include "gui/app_shell.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "session/input_rules.h"

ConfigDialogState configDialog{};

namespace {

constexpr int EyeWidth = 26;
constexpr int EyeHeight = 17;
constexpr int EyeLeft = 11;
constexpr int EyeTop = 11;
constexpr COLORREF StatusTextColour = RGB(100, 100, 100);
constexpr UINT_PTR CopyMenuItem = 1;
constexpr size_t BoxTextSize = 512;

void LoadEyeImages()
{
    configDialog.eyeShown = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(IDB_PASSWORD_SHOWN));
    configDialog.eyeHidden = LoadBitmapW(AppInstance, MAKEINTRESOURCEW(IDB_PASSWORD_HIDDEN));
}

void DeleteEyeImages()
{
    DeleteObject(configDialog.eyeShown);
    DeleteObject(configDialog.eyeHidden);
    // A dialog created again later loads them afresh.
    configDialog.eyeShown = nullptr;
    configDialog.eyeHidden = nullptr;
}

// The copy command: Ctrl+C while the list has the focus, or "复制" from its
// context menu. A disabled list gets neither keys nor clicks, so nothing is
// copied while no port is open.
void ShowCopyMenu(HWND list, LPARAM at)
{
    POINT where{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (at == -1) {   // from the keyboard (Shift+F10): at the list's corner
        where = POINT{0, 0};
        ClientToScreen(list, &where);
    }
    wchar_t caption[16];
    WidenGbk(texts::CopyCommand, caption, 16);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, CopyMenuItem, caption);
    const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, where.x,
                                       where.y, 0, configDialog.window, nullptr);
    DestroyMenu(menu);
    if (chosen == static_cast<BOOL>(CopyMenuItem))
        CopyOutputLines();
}

// What the supervision needs of the dialog.
void ShowLinkUp(void*) { SetStatusText(texts::Connected); }
void DropLostLink(void*)
{
    SetStatusText(texts::NotConnected);
    ClickPortToggle();
}
void TellNoFirstAnswer(void*) { ShowNoAnswerMessage(); }
void ReleaseSilentPort(void*) { ReleasePort(); }

// A session that cannot start leaves nothing to work with: the system's
// reason is shown and the program ends.
void StartDialogSession()
{
    const SessionCallbacks callbacks{
        ReplyHandler{nullptr, OnReply},
        SupervisionHost{nullptr, ShowLinkUp, DropLostLink, TellNoFirstAnswer, ReleaseSilentPort},
        FrameTap{nullptr, nullptr, nullptr},
    };
    SessionError why{};
    if (StartSession(configDialog.session, callbacks, &why))
        return;
    wchar_t text[BoxTextSize] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(why.osError), 0, text, BoxTextSize, nullptr);
    MessageBoxW(configDialog.window, text, nullptr, MB_ICONERROR | MB_OK);
    PostQuitMessage(0);
}

LRESULT CALLBACK OutputListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        CopyOutputLines();
        return 0;
    }
    // The character Ctrl+C becomes once translated: the list's own search
    // by typed character must not see it.
    if (message == WM_CHAR && wParam == 0x03)
        return 0;
    if (message == WM_CONTEXTMENU) {
        ShowCopyMenu(list, lParam);
        return 0;
    }
    return CallWindowProcW(configDialog.outputListProc, list, message, wParam, lParam);
}

void InitDialog(HWND window)
{
    configDialog.window = window;

    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);

    StartDialogSession();

    configDialog.portList = DialogItem(IDC_PORT_LIST);
    RefreshPortList();

    configDialog.statusLabel = DialogItem(IDC_STATUS);
    KeepLabelsOnOneLine();

    EnableItems({IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK}, false);
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageW(DialogItem(id), IPM_CLEARADDRESS, 0, 0);
    }
    EnableItems({IDC_PASSWORD, IDC_CHANGE_PASSWORD, IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE,
                 IDC_COMMAND, IDC_OUTPUT},
                false);

    configDialog.passwordMasked = true;
    SendMessageW(DialogItem(IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(configDialog.eyeHidden));
    EnableItems({IDC_SHOW_PASSWORD}, false);

    configDialog.outputListProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        DialogItem(IDC_OUTPUT), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OutputListProc)));
}

void OnCommand(int id, int notification)
{
    switch (id) {
    case IDC_PORT_LIST:
        // Each drop-down shows the ports there are now.
        if (notification == CBN_DROPDOWN)
            RefreshPortList();
        break;
    case IDC_PORT_TOGGLE: TogglePort(); break;
    case IDC_QUERY_NETWORK: RunFixedCommand(QueryNetworkCommand); break;
    case IDC_QUERY_ROUTE: RunFixedCommand(QueryRouteCommand); break;
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

// Device notices are shown one at a time. MessageBoxW runs a message loop of
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
    wchar_t caption[16];
    WidenGbk(texts::NoticeCaption, caption, 16);
    for (const char* next = text; next != nullptr; next = TakeWaitingNotice()) {
        wchar_t wide[BoxTextSize];
        WidenGbk(next, wide, BoxTextSize);
        MessageBoxW(window, wide, caption, MB_ICONINFORMATION | MB_OK);
    }
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
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_TIMER:
        if (wParam == SupervisionTimerId) {
            OnSupervisionTick(configDialog.session);
        }
        return FALSE;
    case WM_DRAWITEM:
        DrawEyeButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam);
        return TRUE;
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

void EndDialogSession()
{
    EndSession(configDialog.session);
}
