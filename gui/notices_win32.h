// The device's success notices (notices_win32.cpp): posted by the assembler
// thread, shown one at a time by the dialog's own thread.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

struct ConfigDialogState;

// Carries a ShowNotice text (lParam, a constant of texts.h) from the assembler
// thread to the dialog's own thread, which shows the modal box.
constexpr UINT NoticeMessage = WM_APP + 1;

// Notices waiting for their turn. User-interface thread only; written by
// notices_win32.cpp only.
constexpr uint32_t MaxWaitingNotices = 4;   // more than the distinct notice texts
struct NoticeTurns {
    bool boxOpen = false;
    std::array<const char*, MaxWaitingNotices> waiting{};
    uint32_t waitingCount = 0;
};

// `text`, a constant of texts.h, handed to the user-interface thread;
// returns at once. Any thread.
void ShowNotice(ConfigDialogState& d, const char* text);
// NoticeMessage's handler: the box, or a turn behind the one that is open.
void ShowNoticeInTurn(ConfigDialogState& d, const char* text);
