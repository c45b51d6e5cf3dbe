// The dialog's session: its start and end, the supervision's host, and
// the port it opens and lets go. User-interface thread, but for the host's
// calls, which come from where session.h says.
#include "gui/dialog_session_win32.h"

#include "gui/config_dialog_win32.h"
#include "gui/dialog_commands_win32.h"
#include "gui/dialog_view_win32.h"
#include "gui/resource.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "link/com_ports.h"
#include "link/system_error.h"

namespace {

constexpr size_t BoxTextSize = 512;

// What the supervision needs of the dialog: the session's host, with the
// dialog's state as its context.
ConfigDialogState& Dialog(void* context) { return *static_cast<ConfigDialogState*>(context); }
void ShowLinkUp(void* d) { SetStatusText(Dialog(d), texts::Connected); }
void DropLostLink(void* d)
{
    CloseOpenPort(Dialog(d));
}
void TellNoFirstAnswer(void* d) { ShowNoAnswerMessage(Dialog(d)); }
void ReleaseSilentPort(void* d) { ReleasePort(Dialog(d)); }

void SetToggleCaption(const ConfigDialogState& d, const char* text)
{
    SetGbkText(DialogItem(d, IDC_PORT_TOGGLE), text);
}

}  // namespace

void StartDialogSession(ConfigDialogState& d)
{
    const SessionCallbacks callbacks{
        ReplyHandler{&d, OnReply},
        SupervisionHost{&d, ShowLinkUp, DropLostLink, TellNoFirstAnswer, ReleaseSilentPort},
        FrameTap{nullptr, nullptr, nullptr, nullptr},
    };
    const Result started = StartSession(d.device.session, callbacks);
    if (Succeeded(started))
        return;
    wchar_t text[BoxTextSize] = {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, started.what, -1, text, BoxTextSize);
    const size_t used = n > 0 ? static_cast<size_t>(n - 1) : 0;
    text[used] = L'\n';
    char reason[BoxTextSize];
    SystemMessage(started.osError, reason, sizeof reason);
    if (MultiByteToWideChar(CP_UTF8, 0, reason, -1, text + used + 1, static_cast<int>(BoxTextSize - used - 1)) == 0)
        text[used + 1] = L'\0';
    MessageBoxW(d.window, text, nullptr, MB_ICONERROR | MB_OK);
    PostQuitMessage(0);
}

void EndDialogSession(ConfigDialogState& d)
{
    EndSession(d.device.session);
}

// A line setting the system refuses goes unnoticed here: the port is used
// with whatever settings took effect.
Result OpenDialogPort(ConfigDialogState& d, uint32_t number)
{
    char path[PortNameSize] = {};
    FormatDevicePath(number, path, sizeof path);
    const Result opened = OpenDevice(d.device.session, path);
    if (!PortOpened(opened))
        return opened;
    d.device.openPort = number;
    SetTimer(d.window, SupervisionTimerId, SupervisionPeriodMs, nullptr);
    SetToggleCaption(d, texts::ClosePortCaption);
    EnableWindow(DialogItem(d, IDC_PORT_LIST), FALSE);
    return opened;
}

void ReleasePort(ConfigDialogState& d)
{
    CloseSessionPort(d.device.session);
    d.device.openPort = 0;
    KillTimer(d.window, SupervisionTimerId);
    SetToggleCaption(d, texts::OpenPortCaption);
    EnableWindow(DialogItem(d, IDC_PORT_LIST), TRUE);
}
