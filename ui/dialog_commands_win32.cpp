// What the dialog's buttons do: opening and closing the port, the shell
// commands, the network settings and the password. User-interface thread.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/resource.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "ui/config_dialog.h"
#include "ui/config_dialog_win32.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace {

constexpr int PortNameBufferSize = 10;
constexpr int DevicePathBufferSize = 16;
constexpr int CommandBufferSize = 1024;
constexpr size_t MaxCommandBytes = 1000;
constexpr int PasswordReadBufferSize = 20;
constexpr size_t MaxPasswordBytes = 16;

void ClearAddresses()
{
    for (int id : {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}) {
        SendMessageA(DialogItem(id), IPM_CLEARADDRESS, 0, 0);
    }
}

void SetToggleCaption(const char* text)
{
    SendMessageA(DialogItem(IDC_PORT_TOGGLE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void OpenSelectedPort()
{
    char name[PortNameBufferSize] = {};
    GetWindowTextA(configDialog.portList, name, sizeof name);
    char path[DevicePathBufferSize] = {};
    std::snprintf(path, sizeof path, texts::DevicePathFormat, name);
    if (!OpenPort(path)) {
        ShowDialogMessage(texts::OpenPortFailed);
        return;
    }
    ClearAddresses();
    SendMessageA(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    configDialog.connected = true;
    // Armed before the first request goes out: its reply may clear the
    // first-contact countdown at once.
    StartSupervision();
    SendGetNetConfig();
    SendGetAdminPassword();
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

void EchoCommand(const char* text)
{
    SendMessageA(DialogItem(IDC_OUTPUT), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
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
    ClosePort();
    configDialog.connected = false;
    StopSupervision();
    SetToggleCaption(texts::OpenPort);
    EnableWindow(configDialog.portList, TRUE);
}

// The edit keeps its whole text: the new password character only needs a
// redraw, so nothing is read back or cut.
void ApplyPasswordMask(bool masked)
{
    configDialog.passwordMasked = masked;
    SendMessageA(DialogItem(IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(masked ? configDialog.eyeHidden : configDialog.eyeShown));
    HWND password = DialogItem(IDC_PASSWORD);
    SendMessageA(password, EM_SETPASSWORDCHAR, masked ? '*' : 0, 0);
    InvalidateRect(password, nullptr, TRUE);
    InvalidateRect(DialogItem(IDC_SHOW_PASSWORD), nullptr, TRUE);
}

void RunFixedCommand(const char* command)
{
    SendMessageA(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    SendShellCommand(command);
    EchoCommand(command);
}

void RunTypedCommand()
{
    char text[CommandBufferSize] = {};
    GetWindowTextA(DialogItem(IDC_COMMAND), text, sizeof text);
    const size_t length = std::strlen(text);
    if (length == 0) {
        ShowDialogMessage(texts::CommandEmpty);
        return;
    }
    if (length > MaxCommandBytes) {
        ShowDialogMessage(texts::CommandTooLong);
        return;
    }
    SendMessageA(DialogItem(IDC_OUTPUT), LB_RESETCONTENT, 0, 0);
    // The device's ping would otherwise run until interrupted.
    if (std::strncmp(text, "ping", 4) == 0) {
        std::strcat(text, texts::PingSuffix);
    }
    SendShellCommand(text);
    EchoCommand(text);
}

void OnDhcpBoxChanged()
{
    const bool ticked = SendMessageA(DialogItem(IDC_DHCP), BM_GETCHECK, 0, 0) != 0;
    EnableItems({IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY}, !ticked);
    if (ticked) {
        ClearAddresses();
    }
}

void SendNetworkSettings()
{
    if (SendMessageA(DialogItem(IDC_DHCP), BM_GETCHECK, 0, 0) != 0) {
        SendSetNetConfig(true, 0, 0, 0);
        return;
    }
    DWORD addresses[3] = {};
    const int ids[3] = {IDC_IP_ADDRESS, IDC_SUBNET_MASK, IDC_GATEWAY};
    for (int i = 0; i < 3; ++i) {
        SendMessageA(DialogItem(ids[i]), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&addresses[i]));
    }
    SendSetNetConfig(false, addresses[0], addresses[1], addresses[2]);
}

void SendNewPassword()
{
    char text[PasswordReadBufferSize] = {};
    GetWindowTextA(DialogItem(IDC_PASSWORD), text, sizeof text);
    const size_t length = std::strlen(text);
    if (length == 0) {
        ShowDialogMessage(texts::PasswordEmpty);
        return;
    }
    if (length > MaxPasswordBytes) {
        ShowDialogMessage(texts::PasswordTooLong);
        return;
    }
    SendSetAdminPassword(text);
}
