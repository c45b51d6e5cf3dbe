#include "cli/interrupt.h"

#include <windows.h>

namespace {

// The system runs this on a thread of its own, for each press.
BOOL WINAPI OnControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    NoteInterrupt();
    return TRUE;
}

}  // namespace

Result StartListening()
{
    if (SetConsoleCtrlHandler(OnControl, TRUE) != FALSE)
        return Success;
    return Failure(Status::Failed, "SetConsoleCtrlHandler", static_cast<int32_t>(GetLastError()));
}

void StopListening() { SetConsoleCtrlHandler(OnControl, FALSE); }
