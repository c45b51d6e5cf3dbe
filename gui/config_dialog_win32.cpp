// The dialog procedure: initialisation, dispatch of commands and timer ticks,
// the owner-drawn eye button, the label colours and the output list's copy
// command.
#include "gui/config_dialog_win32.h"

#include <commctrl.h>

#include "gui/dialog_commands_win32.h"
#include "gui/dialog_view_win32.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "link/system_error.h"
#include "session/input_rules.h"

namespace {

constexpr int EyeLeft = 11;   // the image's corner in its button at 100 %
constexpr int EyeTop = 11;
constexpr int FocusGap = 2;   // between the image and the eye button's focus rectangle, at 100 %
constexpr COLORREF StatusTextColour = RGB(100, 100, 100);
constexpr UINT_PTR CopyMenuItem = 1;

ConfigDialogState* StateOf(HWND window)
{
    return reinterpret_cast<ConfigDialogState*>(GetWindowLongPtrW(window, DWLP_USER));
}

// The copy command: Ctrl+C while the list has the focus, or "复制" from its
// context menu. A disabled list gets neither keys nor clicks, so nothing is
// copied while no port is open.
void ShowCopyMenu(ConfigDialogState& d, HWND list, LPARAM at)
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
                                       where.y, 0, d.window, nullptr);
    DestroyMenu(menu);
    if (chosen == static_cast<BOOL>(CopyMenuItem))
        CopyOutputLines(d);
}

// The output list's own procedure, subclassed for the copy command; the
// dialog's state is in the list's GWLP_USERDATA.
LRESULT CALLBACK OutputListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    ConfigDialogState& d = *reinterpret_cast<ConfigDialogState*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (message == WM_KEYDOWN && wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        CopyOutputLines(d);
        return 0;
    }
    // The character Ctrl+C becomes once translated: the list's own search
    // by typed character must not see it.
    if (message == WM_CHAR && wParam == 0x03)
        return 0;
    if (message == WM_CONTEXTMENU) {
        ShowCopyMenu(d, list, lParam);
        return 0;
    }
    return CallWindowProcW(d.outputListProc, list, message, wParam, lParam);
}

// The command field stays the template's multiline edit: what a
// single-line edit makes of a pasted line break differs between Windows
// versions, and a line break that gets in is refused when the command runs
// (ReadTypedText). A multiline edit asks the dialog manager for every key
// (DLGC_WANTALLKEYS) and would keep Tab, Enter and Esc from it; it is told
// not to. Ctrl+J and Ctrl+Enter still reach it as
// the characters LF and CR, which it would insert as a line break (Wine's
// EDIT_WM_Char and Windows alike): they are dropped.
LRESULT CALLBACK CommandEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    ConfigDialogState& d = *reinterpret_cast<ConfigDialogState*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    if (message == WM_GETDLGCODE)
        return CallWindowProcW(d.commandEditProc, edit, message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    if (message == WM_CHAR && (wParam == '\r' || wParam == '\n'))
        return 0;
    return CallWindowProcW(d.commandEditProc, edit, message, wParam, lParam);
}

// The control's procedure becomes `proc`, with the dialog's state in its
// GWLP_USERDATA; its own is kept in `own`.
void Subclass(ConfigDialogState& d, int id, WNDPROC proc, WNDPROC& own)
{
    HWND control = DialogItem(d, id);
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&d));
    own = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

void InitDialog(ConfigDialogState& d, HWND window)
{
    d.window = window;
    RecordDialogLayout(d);
    LoadEyeImages(d);
    StartDialogSession(d);

    InitPortList(d);

    d.statusLabel = DialogItem(d, IDC_STATUS);
    KeepLabelsOnOneLine(d);

    EnableItems(d, {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK}, false);
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageW(DialogItem(d, id), IPM_CLEARADDRESS, 0, 0);
    }
    EnableItems(d, {IDC_PASSWORD, IDC_CHANGE_PASSWORD, IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE,
                    IDC_COMMAND, IDC_OUTPUT},
                false);

    d.passwordMasked = true;
    SendMessageW(DialogItem(d, IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(d.scale.eyeHidden));
    EnableItems(d, {IDC_SHOW_PASSWORD}, false);
    Subclass(d, IDC_OUTPUT, OutputListProc, d.outputListProc);
    Subclass(d, IDC_COMMAND, CommandEditProc, d.commandEditProc);
}

void OnCommand(ConfigDialogState& d, int id, int notification);

// Enter comes as IDOK unless the focus is on a push button that the dialog
// manager made the default on its way there with Tab (that one sends its
// own click): in the command field it runs 执行, if 执行 is enabled; on a
// push button focused otherwise (by a click) it presses it; anywhere else
// it does nothing. The check box is left to Space, as in any dialog.
void OnEnter(ConfigDialogState& d)
{
    HWND focus = GetFocus();
    if (focus == DialogItem(d, IDC_COMMAND)) {
        if (IsWindowEnabled(DialogItem(d, IDC_EXECUTE)))
            RunTypedCommand(d);
        return;
    }
    for (int id : {IDC_PORT_TOGGLE, IDC_SET_NETWORK, IDC_CHANGE_PASSWORD, IDC_SHOW_PASSWORD, IDC_QUERY_NETWORK,
                   IDC_QUERY_ROUTE, IDC_EXECUTE}) {
        if (focus == DialogItem(d, id) && IsWindowEnabled(focus)) {
            OnCommand(d, id, BN_CLICKED);
            return;
        }
    }
}

void OnCommand(ConfigDialogState& d, int id, int notification)
{
    switch (id) {
    case IDOK: OnEnter(d); break;
    // Esc, and the dialog's WM_CLOSE, come as IDCANCEL: the dialog is the
    // program's whole window and is never closed or hidden from the keyboard.
    case IDCANCEL: break;
    case IDC_PORT_LIST:
        // Each drop-down shows the ports there are now.
        if (notification == CBN_DROPDOWN)
            RefreshPortList(d);
        break;
    case IDC_PORT_TOGGLE: TogglePort(d); break;
    case IDC_QUERY_NETWORK: RunFixedCommand(d, QueryNetworkCommand); break;
    case IDC_QUERY_ROUTE: RunFixedCommand(d, QueryRouteCommand); break;
    case IDC_EXECUTE: RunTypedCommand(d); break;
    case IDC_DHCP: OnDhcpBoxChanged(d); break;
    case IDC_SET_NETWORK: SendNetworkSettings(d); break;
    case IDC_CHANGE_PASSWORD: SendNewPassword(d); break;
    case IDC_SHOW_PASSWORD: ApplyPasswordMask(d, !d.passwordMasked); break;
    default: break;
    }
}

// The image, at the dialog's scale and pixel for pixel, and a dotted
// rectangle around it while the button has the focus (unless Windows hides
// focus marks until the keyboard is used); no frame or pressed look.
void DrawEyeButton(const ConfigDialogState& d, const DRAWITEMSTRUCT& item)
{
    HBITMAP image = d.passwordMasked ? d.scale.eyeHidden : d.scale.eyeShown;
    BITMAP size{};
    GetObjectW(image, sizeof size, &size);
    const RECT at{ScaleForDpi(EyeLeft, d.scale.dpi), ScaleForDpi(EyeTop, d.scale.dpi), ScaleForDpi(EyeLeft, d.scale.dpi) + size.bmWidth,
                  ScaleForDpi(EyeTop, d.scale.dpi) + size.bmHeight};
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HDC memory = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous = SelectObject(memory, image);
    BitBlt(item.hDC, at.left, at.top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT ring = at;
        InflateRect(&ring, ScaleForDpi(FocusGap, d.scale.dpi), ScaleForDpi(FocusGap, d.scale.dpi));
        DrawFocusRect(item.hDC, &ring);
    }
}

INT_PTR ColourStatic(const ConfigDialogState& d, HDC dc, HWND control)
{
    SetTextColor(dc, control == d.statusLabel ? StatusTextColour : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        InitDialog(*reinterpret_cast<ConfigDialogState*>(lParam), window);
        return TRUE;
    }
    // Before WM_INITDIALOG (the font, the controls' creation) there is no
    // state yet, and nothing to do.
    ConfigDialogState* d = StateOf(window);
    if (d == nullptr)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        OnCommand(*d, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_TIMER:
        if (wParam == SupervisionTimerId) {
            TickSession(d->device.session);
        }
        return FALSE;
    case WM_DRAWITEM:
        DrawEyeButton(*d, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return ColourStatic(*d, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case NoticeMessage:
        // Shown here rather than on the assembler thread, so that replies and
        // the supervision go on while the technician reads it.
        ShowNoticeInTurn(*d, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_DESTROY:
        DeleteScaledObjects(*d);
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

void SaveDialogFocus(ConfigDialogState& d)
{
    HWND focus = GetFocus();
    d.savedFocus = focus != nullptr && IsChild(d.window, focus) ? focus : nullptr;
}

void RestoreDialogFocus(ConfigDialogState& d)
{
    HWND focus = d.savedFocus;
    if (focus == nullptr || !IsChild(d.window, focus) || !IsWindowEnabled(focus))
        focus = GetNextDlgTabItem(d.window, nullptr, FALSE);
    SetFocus(focus);
}
