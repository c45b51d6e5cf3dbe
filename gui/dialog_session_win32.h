// The dialog's one session with the device (dialog_session_win32.cpp): made
// at the dialog's initialisation, ended once the message loop has returned,
// and the port it has open.
#pragma once

#include <windows.h>

#include <cstdint>

#include "session/session.h"

struct ConfigDialogState;

// The supervision's timer: a timer of the dialog window, each tick a
// WM_TIMER to the session's TickSession.
constexpr UINT_PTR SupervisionTimerId = 1;

// Written by dialog_session_win32.cpp only.
struct DialogSession {
    // Its own threads per session.h; the dialog reaches it through the
    // session's calls only.
    Session session;
    // User-interface thread only: the number of the open port, from a
    // successful opening until the port is released; 0 while none is open.
    uint32_t openPort = 0;
};

inline bool PortIsOpen(const DialogSession& s) { return s.openPort != 0; }

// At initialisation. A session that cannot start leaves nothing to work
// with: what could not be made and the system's reason are shown, and the
// program ends.
void StartDialogSession(ConfigDialogState& d);
// Ends the session: called once the message loop has returned, when no
// window call of the assembler thread can wait for this thread any more (in
// WM_DESTROY the assembler may be inside one, and the join would never
// return).
void EndDialogSession(ConfigDialogState& d);

// User-interface thread. Opens port COMn through the session (its first
// reads sent) and starts the supervision's timer; the session's Result.
Result OpenDialogPort(ConfigDialogState& d, uint32_t number);
// Lets the port go, stops the timer, and unlocks the port list.
void ReleasePort(ConfigDialogState& d);
