// What the dialog shows (dialog_view_win32.cpp): the replies' view
// operations, which run on the assembler thread, the supervision's, which
// run on the user-interface thread (SetStatusText on either), and helpers
// over the dialog's controls.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "session/session.h"

struct ConfigDialogState;

void SetStatusText(ConfigDialogState& d, const char* text);
void ShowNoAnswerMessage(ConfigDialogState& d);   // returns when the technician has dismissed it
void ShowNetConfig(ConfigDialogState& d, const NetConfig& config);
void AppendOutputLine(ConfigDialogState& d, const char* text);
void ShowAdminPassword(ConfigDialogState& d, const char* text);
void OnReply(void* dialog, const Reply& reply);   // the session's reply handler

HWND DialogItem(const ConfigDialogState& d, int id);
void EnableItems(const ConfigDialogState& d, std::initializer_list<int> ids, bool enable);
void ShowDialogMessage(const ConfigDialogState& d, const char* text);   // no caption, information icon, OK
void ShowDialogMessage(const ConfigDialogState& d, const wchar_t* text);
void KeepLabelsOnOneLine(const ConfigDialogState& d);                   // at initialisation and each change of scale
