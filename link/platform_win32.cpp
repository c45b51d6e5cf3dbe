// Win32: a critical section, auto-reset events, threads from CreateThread and
// the performance counter.
#include "link/platform.h"

#include <windows.h>

#include <cstdio>

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock::storage), "Lock storage too small");
static_assert(sizeof(HANDLE) <= sizeof(Wakeup::storage), "Wakeup storage too small");

CRITICAL_SECTION* AsSection(Lock& lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock.storage); }
HANDLE& AsEvent(Wakeup& wakeup) { return *reinterpret_cast<HANDLE*>(wakeup.storage); }

int64_t CounterFrequency()
{
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

DWORD WINAPI RunThread(LPVOID record)
{
    const Thread* thread = static_cast<const Thread*>(record);
    thread->entry(thread->context);
    return 0;
}

}  // namespace

// The performance counter rather than GetTickCount64, which moves in steps of
// the timer tick (about 15.6 ms).
int64_t MonotonicMicroseconds()
{
    static const int64_t frequency = CounterFrequency();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

void FormatWallClock(char* out, size_t capacity)
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    std::snprintf(out, capacity, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

// FILETIME counts 100 ns from 1601; 11644473600 s lie between 1601 and 1970.
int64_t WallClockMilliseconds()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks = static_cast<int64_t>(uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime);
    return ticks / 10000 - 11644473600000LL;
}

// InitializeCriticalSection cannot fail on any Windows since Vista.
Result MakeLock(Lock& lock)
{
    InitializeCriticalSection(AsSection(lock));
    lock.made = true;
    return Success;
}

void DestroyLock(Lock& lock)
{
    if (lock.made)
        DeleteCriticalSection(AsSection(lock));
    lock.made = false;
}

void EnterLock(Lock& lock) { EnterCriticalSection(AsSection(lock)); }
void LeaveLock(Lock& lock) { LeaveCriticalSection(AsSection(lock)); }

Result MakeWakeup(Wakeup& wakeup)
{
    AsEvent(wakeup) = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    wakeup.made = AsEvent(wakeup) != nullptr;
    return wakeup.made ? Success : Failure(Status::Failed, "CreateEventW", static_cast<int32_t>(GetLastError()));
}

void DestroyWakeup(Wakeup& wakeup)
{
    if (wakeup.made)
        CloseHandle(AsEvent(wakeup));
    wakeup.made = false;
}

void SignalWakeup(Wakeup& wakeup) { SetEvent(AsEvent(wakeup)); }

// WaitForever is INFINITE.
bool WaitWakeup(Wakeup& wakeup, uint32_t timeoutMs)
{
    return WaitForSingleObject(AsEvent(wakeup), timeoutMs) == WAIT_OBJECT_0;
}

Result StartThread(Thread& thread, void (*entry)(void* context), void* context)
{
    thread.entry = entry;
    thread.context = context;
    // Default stack, no flags.
    HANDLE handle = CreateThread(nullptr, 0, RunThread, &thread, 0, nullptr);
    const DWORD error = handle == nullptr ? GetLastError() : 0;
    thread.handle = reinterpret_cast<intptr_t>(handle);
    thread.started = handle != nullptr;
    return thread.started ? Success : Failure(Status::Failed, "CreateThread", static_cast<int32_t>(error));
}

void JoinThread(Thread& thread)
{
    if (!thread.started)
        return;
    HANDLE handle = reinterpret_cast<HANDLE>(thread.handle);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    thread.started = false;
}
