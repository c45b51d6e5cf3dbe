// What the dialog's buttons do: opening and closing the port, the shell
// commands, the network settings, the password and copying the output.
// User-interface thread.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "gui/config_dialog_win32.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "link/com_ports.h"
#include "session/input_rules.h"

namespace {

// Typed texts are read as wide text and measured in GBK, where a character
// takes one or two bytes: a text longer than the limit in characters is
// longer in bytes too, so reading a little past the limit is enough.
constexpr int CommandReadSize = 1024;
constexpr int PasswordReadSize = 20;
constexpr size_t GbkCapacity(int wideCharacters) { return static_cast<size_t>(wideCharacters) * 2; }
constexpr size_t FailureTextSize = 512;

void ClearAddresses()
{
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageW(DialogItem(id), IPM_CLEARADDRESS, 0, 0);
    }
}

void SetToggleCaption(const char* text)
{
    SetGbkText(DialogItem(IDC_PORT_TOGGLE), text);
}

// "打开串口失败" and, on a second line, why: in the technician's words where
// the reason is a common one, else the system's own message and its number.
void ShowOpenFailure(const PortOpenResult& result)
{
    wchar_t text[FailureTextSize];
    WidenGbk(texts::OpenPortFailed, text, FailureTextSize);
    std::wcscat(text, L"\n");
    const size_t used = std::wcslen(text);
    wchar_t* reason = text + used;
    const size_t room = FailureTextSize - used;
    if (const char* known = texts::OpenFailureReason(result.status)) {
        WidenGbk(known, reason, room);
        ShowDialogMessage(text);
        return;
    }
    char number[32];
    std::snprintf(number, sizeof number, texts::ErrorNumberFormat, static_cast<long>(result.osError));
    wchar_t suffix[32];
    WidenGbk(number, suffix, 32);
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(result.osError), 0, reason,
                                   static_cast<DWORD>(room - std::wcslen(suffix) - 1), nullptr);
    size_t length = n;
    while (length > 0 && (reason[length - 1] == L'\r' || reason[length - 1] == L'\n' || reason[length - 1] == L' '))
        --length;
    reason[length] = L'\0';
    // Without a message from the system the number stands alone.
    std::wcscat(text, length == 0 ? suffix + 1 : suffix);
    ShowDialogMessage(text);
}

void OpenSelectedPort()
{
    const uint32_t number = SelectedPortNumber();
    if (number == 0) {
        // An empty list: there is no port to open.
        ShowOpenFailure(PortOpenResult{PortOpenStatus::Missing, ERROR_FILE_NOT_FOUND, 0});
        return;
    }
    char path[PortNameSize] = {};
    FormatDevicePath(number, path, sizeof path);
    // A line setting the system refuses goes unnoticed here: the port is
    // used with whatever settings took effect.
    const PortOpenResult opened = OpenPortReporting(configDialog.session.port, path);
    if (opened.status != PortOpenStatus::Opened) {
        ShowOpenFailure(opened);
        return;
    }
    configDialog.openPort = number;
    ClearAddresses();
    SendMessageW(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    configDialog.connected = true;
    // Armed before the first request goes out: its reply may clear the
    // first-contact countdown at once.
    StartSupervision(configDialog.session);
    // A request that cannot be written is missed like a lost reply: the
    // supervision notices the silence.
    SendGetNetConfig(configDialog.session);
    SendGetAdminPassword(configDialog.session);
    ApplyPasswordMask(true);
    SetTimer(configDialog.window, SupervisionTimerId, SupervisionPeriodMs, nullptr);
    SetToggleCaption(texts::ClosePort);
    EnableWindow(configDialog.portList, FALSE);
}

void CloseOpenPort()
{
    ReleasePort();
    SetStatusText(texts::NotConnected);
    EnableItems({IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK, IDC_PASSWORD,
                 IDC_CHANGE_PASSWORD, IDC_SHOW_PASSWORD},
                false);
    ApplyPasswordMask(true);
    EnableItems({IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE, IDC_COMMAND, IDC_OUTPUT}, false);
}

// What a typed text is refused with: a character GBK lacks, nothing, too much.
struct Refusals {
    const char* unsupported;
    const char* empty;
    const char* tooLong;
};
constexpr Refusals CommandRefusals{texts::CommandUnsupported, texts::CommandEmpty, texts::CommandTooLong};
constexpr Refusals PasswordRefusals{texts::PasswordUnsupported, texts::PasswordEmpty, texts::PasswordTooLong};

// The text of control `id` as GBK, converted before it is measured. False,
// with the refusal shown, when it is not to be sent.
bool ReadTypedText(int id, int readSize, char* gbk, size_t gbkSize, InputCheck (*check)(const char*),
                   const Refusals& refusals)
{
    wchar_t typed[CommandReadSize] = {};
    GetWindowTextW(DialogItem(id), typed, readSize);
    const char* refusal = nullptr;
    if (!NarrowToGbk(typed, gbk, gbkSize))
        refusal = refusals.unsupported;
    else if (const InputCheck result = check(gbk); result != InputCheck::Good)
        refusal = result == InputCheck::Empty ? refusals.empty : refusals.tooLong;
    if (refusal != nullptr)
        ShowDialogMessage(refusal);
    return refusal == nullptr;
}

void EchoCommand(const char* text)
{
    wchar_t wide[CommandReadSize + 8];
    WidenGbk(text, wide, CommandReadSize + 8);
    SendMessageW(DialogItem(IDC_OUTPUT), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
}

}  // namespace

void TogglePort()
{
    if (configDialog.connected) {
        CloseOpenPort();
    } else {
        OpenSelectedPort();
    }
}

void ReleasePort()
{
    ClosePort(configDialog.session.port);
    configDialog.connected = false;
    configDialog.openPort = 0;
    KillTimer(configDialog.window, SupervisionTimerId);
    SetToggleCaption(texts::OpenPort);
    EnableWindow(configDialog.portList, TRUE);
}

// The edit keeps its whole text: the new password character only needs a
// redraw, so nothing is read back or cut.
void ApplyPasswordMask(bool masked)
{
    configDialog.passwordMasked = masked;
    SendMessageW(DialogItem(IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(masked ? configDialog.eyeHidden : configDialog.eyeShown));
    HWND password = DialogItem(IDC_PASSWORD);
    SendMessageW(password, EM_SETPASSWORDCHAR, masked ? '*' : 0, 0);
    InvalidateRect(password, nullptr, TRUE);
    InvalidateRect(DialogItem(IDC_SHOW_PASSWORD), nullptr, TRUE);
}

void RunFixedCommand(const char* command)
{
    SendMessageW(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    SendShellCommand(configDialog.session, command);
    EchoCommand(command);
}

void RunTypedCommand()
{
    char text[GbkCapacity(CommandReadSize)] = {};
    if (!ReadTypedText(IDC_COMMAND, CommandReadSize, text, sizeof text, CheckCommand, CommandRefusals))
        return;
    SendMessageW(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    char command[SentCommandSize];
    CompleteCommand(text, command, sizeof command);
    SendShellCommand(configDialog.session, command);
    EchoCommand(command);
}

void OnDhcpBoxChanged()
{
    const bool ticked = SendMessageW(DialogItem(IDC_DHCP), BM_GETCHECK, 0, 0) != 0;
    EnableItems({IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}, !ticked);
    if (ticked) {
        ClearAddresses();
    }
}

void SendNetworkSettings()
{
    if (SendMessageW(DialogItem(IDC_DHCP), BM_GETCHECK, 0, 0) != 0) {
        SendSetNetConfig(configDialog.session, true, 0, 0, 0);
        return;
    }
    DWORD addresses[3] = {};
    const int ids[3] = {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY};
    for (int i = 0; i < 3; ++i) {
        SendMessageW(DialogItem(ids[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&addresses[i]));
    }
    SendSetNetConfig(configDialog.session, false, addresses[0], addresses[1], addresses[2]);
}

void SendNewPassword()
{
    char text[GbkCapacity(PasswordReadSize)] = {};
    if (!ReadTypedText(IDC_PASSWORD, PasswordReadSize, text, sizeof text, CheckPassword, PasswordRefusals))
        return;
    SendSetAdminPassword(configDialog.session, text);
}

// Every line, in order, as one Unicode text with CRLF between the lines.
// The clipboard takes only movable global memory.
void CopyOutputLines()
{
    HWND list = DialogItem(IDC_OUTPUT);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (!IsWindowEnabled(list) || count <= 0)
        return;
    size_t characters = 1;
    for (LRESULT i = 0; i < count; ++i)
        characters += static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 2;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, characters * sizeof(wchar_t));
    if (memory == nullptr)
        return;
    wchar_t* out = static_cast<wchar_t*>(GlobalLock(memory));
    size_t used = 0;
    for (LRESULT i = 0; i < count; ++i) {
        if (i > 0) {
            out[used++] = L'\r';
            out[used++] = L'\n';
        }
        const LRESULT n = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(out + used));
        used += n > 0 ? static_cast<size_t>(n) : 0;
    }
    out[used] = L'\0';
    GlobalUnlock(memory);
    if (!OpenClipboard(configDialog.window)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // Once set, the clipboard owns the memory.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        GlobalFree(memory);
    CloseClipboard();
}
