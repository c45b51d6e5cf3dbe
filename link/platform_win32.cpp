#include "link/platform.h"

#include <windows.h>

namespace {

CRITICAL_SECTION ReceiveLock;

// Auto-reset events, made before main: they exist before any thread that
// signals or waits on them.
HANDLE BytesArrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
HANDLE PortOpened = CreateEventA(nullptr, FALSE, FALSE, nullptr);

int64_t CounterFrequency()
{
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

}  // namespace

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

// The performance counter rather than GetTickCount64, which moves in steps of
// the timer tick (about 15.6 ms).
int64_t MonotonicMicroseconds()
{
    static const int64_t frequency = CounterFrequency();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

void InitReceiveLock() { InitializeCriticalSection(&ReceiveLock); }

void EnterReceiveLock() { EnterCriticalSection(&ReceiveLock); }

void LeaveReceiveLock() { LeaveCriticalSection(&ReceiveLock); }

void SignalReceivedBytes() { SetEvent(BytesArrived); }

// WaitForever is INFINITE.
void WaitForReceivedBytes(uint32_t timeoutMs) { WaitForSingleObject(BytesArrived, timeoutMs); }

void SignalPortOpened() { SetEvent(PortOpened); }

void WaitForPortOpened() { WaitForSingleObject(PortOpened, INFINITE); }
