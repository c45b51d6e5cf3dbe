// The dialog operations the session reaches: the view operations of the
// replies (assembler thread) and those of the link supervision. The
// assembler thread acts on the controls only through synchronous window
// calls, which the user-interface thread serves between its handlers.
#include "gui/dialog_view_win32.h"

#include <commctrl.h>

#include "gui/config_dialog_win32.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"

namespace {

constexpr size_t LabelTextSize = 64;
constexpr size_t MessageTextSize = 512;
constexpr size_t LineTextSize = MaxReplyTextBytes + 1;
constexpr size_t PasswordTextSize = MaxPasswordTextBytes + 1;

}  // namespace

HWND DialogItem(const ConfigDialogState& d, int id)
{
    return GetDlgItem(d.window, id);
}

void EnableItems(const ConfigDialogState& d, std::initializer_list<int> ids, bool enable)
{
    for (int id : ids) {
        EnableWindow(DialogItem(d, id), enable ? TRUE : FALSE);
    }
    // A focused control that is disabled leaves the focus with no window
    // (EnableWindow sets it to none), and the keys then go to the main
    // window, past the dialog manager: Tab would move nothing. The first
    // enabled control takes it, while this program is the active one.
    if (!enable && GetFocus() == nullptr && GetActiveWindow() == GetAncestor(d.window, GA_ROOT))
        SetFocus(GetNextDlgTabItem(d.window, nullptr, FALSE));
}

// The labels are sized for the dialog's own typeface. Where Windows
// substitutes one whose Latin letters are narrower, the dialog units shrink
// while the Chinese characters keep their width, and a label's last
// character wraps onto a line below its height, out of sight ("状态：" shows
// as "状"). Such a label is drawn on one line, clipped at its right edge,
// where the full-width colon's cell is blank. Labels that fit are left
// exactly as the template made them.
void KeepLabelsOnOneLine(const ConfigDialogState& d)
{
    HWND dialog = d.window;
    HDC dc = GetDC(dialog);
    // Each label's own font: after a change of scale it is no longer the dialog's.
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(child, cls, 16);
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        const LONG_PTR kind = style & SS_TYPEMASK;
        if (lstrcmpiW(cls, L"Static") != 0 || (kind != SS_LEFT && kind != SS_LEFTNOWORDWRAP)) {
            continue;
        }
        wchar_t text[LabelTextSize] = {};
        const int length = GetWindowTextW(child, text, LabelTextSize);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text, length, &extent);
        RECT client{};
        GetClientRect(child, &client);
        // Again at every change of scale: a label goes back to the template's
        // style where its text fits once more.
        const LONG_PTR type = extent.cx > client.right ? SS_LEFTNOWORDWRAP : SS_LEFT;
        if ((style & SS_TYPEMASK) != type) {
            SetWindowLongPtrW(child, GWL_STYLE, (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) | type);
        }
    }
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
}

void ShowDialogMessage(const ConfigDialogState& d, const wchar_t* text)
{
    MessageBoxW(d.window, text, nullptr, MB_ICONINFORMATION | MB_OK);
}

void ShowDialogMessage(const ConfigDialogState& d, const char* text)
{
    wchar_t wide[MessageTextSize];
    WidenGbk(text, wide, MessageTextSize);
    ShowDialogMessage(d, wide);
}

void ShowNetConfig(ConfigDialogState& d, const NetConfig& config)
{
    EnableItems(d, {IDC_DHCP, IDC_SET_NETWORK}, true);
    if (config.dhcp) {
        SendMessageW(DialogItem(d, IDC_DHCP), BM_SETCHECK, BST_CHECKED, 0);
    } else {
        SendMessageW(DialogItem(d, IDC_DHCP), BM_SETCHECK, BST_UNCHECKED, 0);
        EnableItems(d, {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}, true);
        SendMessageW(DialogItem(d, IDC_IP_ADDRESS), IPM_SETADDRESS, 0, config.ipAddress);
        SendMessageW(DialogItem(d, IDC_SUBNET_MASK), IPM_SETADDRESS, 0, config.subnetMask);
        SendMessageW(DialogItem(d, IDC_GATEWAY), IPM_SETADDRESS, 0, config.gateway);
    }
}

// The list has LBS_NOSEL, so Windows refuses the selection and would not
// scroll to it: the newest line is brought into view by the top index,
// placed so that the last line fills the bottom row. Wine takes the
// selection all the same but does not redraw the line it leaves, and the
// scroll carries that stale highlight up the list; the repaint clears it.
void AppendOutputLine(ConfigDialogState& d, const char* text)
{
    wchar_t wide[LineTextSize];
    WidenGbk(text, wide, LineTextSize);
    HWND output = DialogItem(d, IDC_OUTPUT);
    SendMessageW(output, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    const LRESULT count = SendMessageW(output, LB_GETCOUNT, 0, 0);
    if (count != 0) {
        SendMessageW(output, LB_SETCURSEL, count - 1, 0);
        RECT client{};
        GetClientRect(output, &client);
        const LRESULT itemHeight = SendMessageW(output, LB_GETITEMHEIGHT, 0, 0);
        LRESULT rows = itemHeight > 0 ? (client.bottom - client.top) / itemHeight : 1;
        if (rows < 1)
            rows = 1;
        SendMessageW(output, LB_SETTOPINDEX, count > rows ? count - rows : 0, 0);
        InvalidateRect(output, nullptr, FALSE);
    }
}

void ShowAdminPassword(ConfigDialogState& d, const char* text)
{
    EnableItems(d, {IDC_PASSWORD, IDC_CHANGE_PASSWORD, IDC_SHOW_PASSWORD}, true);
    HWND password = DialogItem(d, IDC_PASSWORD);
    SendMessageW(password, EM_SETPASSWORDCHAR, d.passwordMasked ? '*' : 0, 0);
    wchar_t wide[PasswordTextSize];
    WidenGbk(text, wide, PasswordTextSize);
    SetWindowTextW(password, wide);
    EnableItems(d, {IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE, IDC_COMMAND, IDC_OUTPUT}, true);
}

void SetStatusText(ConfigDialogState& d, const char* text)
{
    SetGbkText(d.statusLabel, text);
}

void ShowNoAnswerMessage(ConfigDialogState& d)
{
    ShowDialogMessage(d, texts::NoAnswer);
}

// A refused request shows nothing; the heartbeat replies are the
// supervision's alone. The supervision hears of the accepted replies after
// this returns: "connected" comes behind the password.
void OnReply(void* dialog, const Reply& reply)
{
    ConfigDialogState& d = *static_cast<ConfigDialogState*>(dialog);
    if (reply.status != 0)
        return;
    switch (reply.code) {
    case ReplyCode(GetNetConfig): ShowNetConfig(d, reply.config); break;
    case ReplyCode(SetNetConfig): ShowNotice(d, texts::NetConfigApplied); break;
    case ReplyCode(RunShellCommand): AppendOutputLine(d, reply.text); break;
    case ReplyCode(GetAdminPassword): ShowAdminPassword(d, reply.text); break;
    case ReplyCode(SetAdminPassword): ShowNotice(d, texts::PasswordChanged); break;
    default: break;
    }
}
