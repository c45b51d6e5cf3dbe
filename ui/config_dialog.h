// The configuration dialog's operations that other modules reach. They are
// defined by the Win32 dialog (config_dialog_win32.cpp); native tests bind
// recording fakes.
#pragma once

#include <cstdint>

#include "protocol/device_client.h"

// View operations, called by HandleReplyFrame on the assembler thread.
void ShowNetConfig(const NetConfig& config);
void AppendOutputLine(const char* text);
void ShowAdminPassword(const char* text);
// Hands the notice to the user-interface thread, which shows it in a modal
// box (caption "提示"); returns at once so that replies go on being handled.
void ShowNotice(const char* text);

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
