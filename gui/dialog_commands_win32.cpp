// What the dialog's buttons do: opening and closing the port, the shell
// commands, the network settings, the password and copying the output.
// User-interface thread.
#include "gui/dialog_commands_win32.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "gui/config_dialog_win32.h"
#include "gui/dialog_session_win32.h"
#include "gui/dialog_view_win32.h"
#include "gui/port_list_win32.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "link/com_ports.h"
#include "link/system_error.h"
#include "session/input_rules.h"

namespace {

// Typed texts are read as wide text and measured in GBK, where a character
// takes one or two bytes: a text longer than the limit in characters is
// longer in bytes too, so reading a little past the limit is enough.
constexpr int CommandReadSize = MaxCommandBytes + 2;
constexpr int PasswordReadSize = MaxPasswordBytes + 2;
constexpr size_t GbkCapacity(int wideCharacters) { return static_cast<size_t>(wideCharacters) * 2; }
constexpr size_t FailureTextSize = 512;

void ClearAddresses(const ConfigDialogState& d)
{
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageW(DialogItem(d, id), IPM_CLEARADDRESS, 0, 0);
    }
}

// "打开串口失败" and, on a second line, why: in the technician's words where
// the reason is a common one, else the system's own message and its number.
void ShowOpenFailure(const ConfigDialogState& d, const Result& result)
{
    wchar_t text[FailureTextSize];
    WidenGbk(texts::OpenPortFailed, text, FailureTextSize);
    std::wcscat(text, L"\n");
    const size_t used = std::wcslen(text);
    wchar_t* reason = text + used;
    const size_t room = FailureTextSize - used;
    if (const char* known = texts::OpenFailureReason(result.status)) {
        WidenGbk(known, reason, room);
        ShowDialogMessage(d, text);
        return;
    }
    char number[32];
    std::snprintf(number, sizeof number, texts::ErrorNumberFormat, static_cast<long>(result.osError));
    wchar_t suffix[32];
    WidenGbk(number, suffix, 32);
    char message[FailureTextSize];
    SystemMessage(result.osError, message, sizeof message);
    const int n = MultiByteToWideChar(CP_UTF8, 0, message, -1, reason, static_cast<int>(room - std::wcslen(suffix)));
    reason[n > 0 ? n - 1 : 0] = L'\0';
    // Without a message from the system the number stands alone.
    std::wcscat(text, reason[0] == L'\0' ? suffix + 1 : suffix);
    ShowDialogMessage(d, text);
}

void OpenSelectedPort(ConfigDialogState& d)
{
    const uint32_t number = SelectedPortNumber(d);
    if (number == 0) {
        // An empty list: there is no port to open.
        ShowOpenFailure(d, Failure(Status::Missing, "no port listed", ERROR_FILE_NOT_FOUND));
        return;
    }
    const Result opened = OpenDialogPort(d, number);
    if (!PortOpened(opened)) {
        ShowOpenFailure(d, opened);
        return;
    }
    // The first replies reach the controls through synchronous window calls
    // that wait for this thread: the fields are cleared before they land.
    ClearAddresses(d);
    SendMessageW(DialogItem(d, IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    ApplyPasswordMask(d, true);
}

}  // namespace

void CloseOpenPort(ConfigDialogState& d)
{
    ReleasePort(d);
    SetStatusText(d, texts::NotConnected);
    EnableItems(d, {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DHCP, IDC_SET_NETWORK, IDC_PASSWORD,
                    IDC_CHANGE_PASSWORD, IDC_SHOW_PASSWORD},
                false);
    ApplyPasswordMask(d, true);
    EnableItems(d, {IDC_QUERY_NETWORK, IDC_QUERY_ROUTE, IDC_EXECUTE, IDC_COMMAND, IDC_OUTPUT}, false);
}

namespace {

// What a typed text is refused with: a character GBK lacks, a line break
// (null where the rules allow none: a password never holds one), nothing,
// too much.
struct Refusals {
    const char* unsupported;
    const char* lineBreak;
    const char* empty;
    const char* tooLong;
};
constexpr Refusals CommandRefusals{texts::CommandUnsupported, texts::CommandLineBreak, texts::CommandEmpty,
                                   texts::CommandTooLong};
constexpr Refusals PasswordRefusals{texts::PasswordUnsupported, nullptr, texts::PasswordEmpty, texts::PasswordTooLong};

// The text of control `id` as GBK, converted before it is measured. False,
// with the refusal shown, when it is not to be sent.
bool ReadTypedText(const ConfigDialogState& d, int id, int readSize, char* gbk, size_t gbkSize, InputCheck (*check)(const char*),
                   const Refusals& refusals)
{
    wchar_t typed[CommandReadSize] = {};
    GetWindowTextW(DialogItem(d, id), typed, readSize);
    const char* refusal = nullptr;
    if (!NarrowToGbk(typed, gbk, gbkSize))
        refusal = refusals.unsupported;
    else if (const InputCheck result = check(gbk); result != InputCheck::Good)
        refusal = result == InputCheck::Empty       ? refusals.empty
                  : result == InputCheck::LineBreak ? refusals.lineBreak
                                                    : refusals.tooLong;
    if (refusal != nullptr)
        ShowDialogMessage(d, refusal);
    return refusal == nullptr;
}

void EchoCommand(const ConfigDialogState& d, const char* text)
{
    wchar_t wide[SentCommandSize];
    WidenGbk(text, wide, SentCommandSize);
    SendMessageW(DialogItem(d, IDC_OUTPUT), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
}

}  // namespace

void TogglePort(ConfigDialogState& d)
{
    if (PortIsOpen(d.device)) {
        CloseOpenPort(d);
    } else {
        OpenSelectedPort(d);
    }
}

// The edit keeps its whole text: the new password character only needs a
// redraw, so nothing is read back or cut.
void ApplyPasswordMask(ConfigDialogState& d, bool masked)
{
    d.passwordMasked = masked;
    SendMessageW(DialogItem(d, IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(masked ? d.scale.eyeHidden : d.scale.eyeShown));
    HWND password = DialogItem(d, IDC_PASSWORD);
    SendMessageW(password, EM_SETPASSWORDCHAR, masked ? '*' : 0, 0);
    InvalidateRect(password, nullptr, TRUE);
    InvalidateRect(DialogItem(d, IDC_SHOW_PASSWORD), nullptr, TRUE);
}

void RunFixedCommand(ConfigDialogState& d, const char* command)
{
    SendMessageW(DialogItem(d, IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    SendShellCommand(d.device.session, command);
    EchoCommand(d, command);
}

void RunTypedCommand(ConfigDialogState& d)
{
    char text[GbkCapacity(CommandReadSize)] = {};
    if (!ReadTypedText(d, IDC_COMMAND, CommandReadSize, text, sizeof text, CheckCommand, CommandRefusals))
        return;
    SendMessageW(DialogItem(d, IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    char command[SentCommandSize];
    CompleteCommand(text, command, sizeof command);
    SendShellCommand(d.device.session, command);
    EchoCommand(d, command);
}

void OnDhcpBoxChanged(ConfigDialogState& d)
{
    const bool ticked = SendMessageW(DialogItem(d, IDC_DHCP), BM_GETCHECK, 0, 0) != 0;
    EnableItems(d, {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}, !ticked);
    if (ticked) {
        ClearAddresses(d);
    }
}

void SendNetworkSettings(ConfigDialogState& d)
{
    if (SendMessageW(DialogItem(d, IDC_DHCP), BM_GETCHECK, 0, 0) != 0) {
        SendSetNetConfig(d.device.session, true, 0, 0, 0);
        return;
    }
    DWORD addresses[3] = {};
    const int ids[3] = {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY};
    for (int i = 0; i < 3; ++i) {
        SendMessageW(DialogItem(d, ids[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&addresses[i]));
    }
    SendSetNetConfig(d.device.session, false, addresses[0], addresses[1], addresses[2]);
}

void SendNewPassword(ConfigDialogState& d)
{
    char text[GbkCapacity(PasswordReadSize)] = {};
    if (!ReadTypedText(d, IDC_PASSWORD, PasswordReadSize, text, sizeof text, CheckPassword, PasswordRefusals))
        return;
    SendSetAdminPassword(d.device.session, text);
}

// Every line, in order, as one Unicode text with CRLF between the lines.
// The clipboard takes only movable global memory.
void CopyOutputLines(ConfigDialogState& d)
{
    HWND list = DialogItem(d, IDC_OUTPUT);
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
    if (!OpenClipboard(d.window)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // Once set, the clipboard owns the memory.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        GlobalFree(memory);
    CloseClipboard();
}
