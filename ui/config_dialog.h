// The configuration dialog's operations that the link supervision reaches.
// They are defined by the Win32 dialog (dialog_view_win32.cpp); native tests
// bind recording fakes.
#pragma once

#include <cstdint>

#include "protocol/device_client.h"

// The dialog also implements the device client's reply operations
// (ShowNetConfig, AppendOutputLine, ShowAdminPassword, ShowNotice; see
// protocol/device_client.h). Its ShowNotice hands the notice to the
// user-interface thread, which shows it in a modal box (caption "提示"), and
// returns at once so that replies go on being handled.

// Dialog operations used by the link supervision (user-interface thread,
// except SetStatusText, which either thread may call).
void SetStatusText(const char* text);
void ReleasePort();
// Sends the dialog, synchronously, the command of a click on control 1014.
void ClickPortToggle();
// The no-answer message box; returns when the technician has dismissed it.
void ShowNoAnswerMessage();
// Stops timer 1 of the dialog window.
void KillSupervisionTimer();
