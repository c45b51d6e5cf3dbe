// The open port's handle and the count of its borrowers, shared by the Win32
// and the POSIX port. Every access is sequentially consistent: "raise the
// count, then load the handle" in BorrowPort against "swap the handle out,
// then read the count" in TakePort means a closer can never see no borrower
// while the reader holds the old value, so the handle is released only once
// nobody can still use it.
#include "link/serial_port.h"
#include "link/serial_port_internal.h"

#include <atomic>

#include "link/platform.h"

namespace {

std::atomic<intptr_t> PortHandle{NoPort};
std::atomic<uint32_t> PortUsers{0};
std::atomic<uint32_t> Session{0};   // raised by PublishPort (user-interface thread), read by the reader

}  // namespace

// The session is raised before the handle is stored, so a reader that
// borrows the new handle reads the new session.
void PublishPort(intptr_t handle)
{
    Session.fetch_add(1);
    PortHandle.store(handle);
    SignalPortOpened();
}

uint32_t PortSession()
{
    return Session.load();
}

intptr_t CurrentPort()
{
    return PortHandle.load();
}

intptr_t TakePort()
{
    return PortHandle.exchange(NoPort);
}

bool PortStillBorrowed()
{
    return PortUsers.load() != 0;
}

bool IsPortOpen()
{
    return PortHandle.load() != NoPort;
}

intptr_t BorrowPort()
{
    PortUsers.fetch_add(1);
    return PortHandle.load();
}

bool IsCurrentPort(intptr_t handle)
{
    return handle != NoPort && PortHandle.load() == handle;
}

void ReturnPort()
{
    PortUsers.fetch_sub(1);
}
