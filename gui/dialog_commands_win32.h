// What the dialog's buttons do (dialog_commands_win32.cpp). User-interface
// thread.
#pragma once

#include <windows.h>

struct ConfigDialogState;

void TogglePort(ConfigDialogState& d);
void CloseOpenPort(ConfigDialogState& d);   // the close branch of TogglePort
void ApplyPasswordMask(ConfigDialogState& d, bool masked);
void RunFixedCommand(ConfigDialogState& d, const char* command);
void RunTypedCommand(ConfigDialogState& d);
void OnDhcpBoxChanged(ConfigDialogState& d);
void SendNetworkSettings(ConfigDialogState& d);
void SendNewPassword(ConfigDialogState& d);
void CopyOutputLines(ConfigDialogState& d);   // every line of the output list to the clipboard
