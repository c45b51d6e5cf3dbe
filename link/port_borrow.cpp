// The open port's handle and the count of its borrowers, shared by the Win32
// and the POSIX port. Every access is sequentially consistent: "raise the
// count, then load the handle" in BorrowPort against "swap the handle out,
// then read the count" in TakePort means a closer can never see no borrower
// while the reader holds the old value, so the handle is released only once
// nobody can still use it.
#include "link/port_internal.h"

// The opening is counted before the handle is stored, so a reader that
// borrows the new handle reads the new count.
void PublishPort(SerialPort& port, intptr_t handle)
{
    port.openings.fetch_add(1);
    port.handle.store(handle);
    SignalWakeup(port.opened);
}

uint32_t PortOpenings(const SerialPort& port) { return port.openings.load(); }

intptr_t CurrentPort(const SerialPort& port) { return port.handle.load(); }

intptr_t TakePort(SerialPort& port) { return port.handle.exchange(NoPort); }

bool PortStillBorrowed(const SerialPort& port) { return port.users.load() != 0; }

intptr_t BorrowPort(SerialPort& port)
{
    port.users.fetch_add(1);
    return port.handle.load();
}

bool IsCurrentPort(const SerialPort& port, intptr_t handle)
{
    return handle != NoPort && port.handle.load() == handle;
}

void ReturnPort(SerialPort& port)
{
    if (port.users.fetch_sub(1) == 1)
        SignalWakeup(port.returned);
}
