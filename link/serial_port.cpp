// What the Win32 and the POSIX port share: making the port's wake-ups, the
// checks before an opening, and the close wait. The platform's own half is
// behind the calls of port_internal.h.
#include "link/port_internal.h"

namespace {

// How long the close wait sleeps between two nudges when no borrow came
// back: only a wait the reader began after the last nudge needs another.
constexpr uint32_t CloseNudgeMs = FailedPassPauseMs;

}  // namespace

Result MakeSerialPort(SerialPort& port)
{
    Result made = MakeWakeup(port.opened);
    if (Succeeded(made)) {
        made = MakeWakeup(port.returned);
        if (!Succeeded(made))
            DestroyWakeup(port.opened);
    }
    if (Succeeded(made)) {
        made = MakePlatformPort(port);
        if (!Succeeded(made)) {
            DestroyWakeup(port.returned);
            DestroyWakeup(port.opened);
        }
    }
    port.made = Succeeded(made);
    return made;
}

void DestroySerialPort(SerialPort& port)
{
    if (!port.made)
        return;
    ClosePort(port);
    DestroyPlatformPort(port);
    DestroyWakeup(port.returned);
    DestroyWakeup(port.opened);
    port.made = false;
}

Result OpenPort(SerialPort& port, const char* path)
{
    if (path == nullptr)
        return Failure(Status::Failed, "no port named");
    ClosePort(port);
    return OpenPlatformPort(port, path);
}

// The handle is taken from everyone first, so no new borrow yields it; it
// is released only when no borrow taken before is out, so a handle value is
// never closed, and recycled, under the reader.
void ClosePort(SerialPort& port)
{
    const intptr_t handle = TakePort(port);
    if (handle == NoPort)
        return;
    QuietPlatformPort(handle);
    for (;;) {
        NudgeReader(port, handle);
        if (!PortStillBorrowed(port))
            break;
        WaitWakeup(port.returned, CloseNudgeMs);
    }
    ReleasePlatformPort(port, handle);
}
