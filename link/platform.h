// The platform as the core sees it: the one monotonic clock and the one sleep
// of the product, the wall clock of the traces, and the objects each session
// makes for itself (a lock, auto-reset wake-ups, threads). Making one keeps
// the OS error when it fails (wire/result.h), so a session that cannot
// start says why rather than hang.
//
// The objects live in fixed storage inside the session that owns them; the
// implementations (platform_win32.cpp, platform_posix.cpp) check that their
// system types fit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire/result.h"

// Microseconds from some fixed moment, never going back: every time limit of
// the product is measured on it, never counted in sleeps (Sleep(1) lasts a
// whole timer tick, about 15.6 ms, on a default Windows).
int64_t MonotonicMicroseconds();
void SleepMilliseconds(uint32_t ms);

// "HH:MM:SS.mmm" of the local wall clock into a fixed buffer (16 bytes do).
// No allocation: a receiving thread may call it for a trace.
void FormatWallClock(char* out, size_t capacity);

// Milliseconds of the wall clock since 1970: for logs that two programs on
// one machine write and that must line up (a Win32 program under Wine reads
// the same clock).
int64_t WallClockMilliseconds();

constexpr uint32_t WaitForever = 0xFFFFFFFFu;

struct Lock {
    alignas(16) unsigned char storage[64];
    bool made = false;
};
Result MakeLock(Lock& lock);
void DestroyLock(Lock& lock);
void EnterLock(Lock& lock);
void LeaveLock(Lock& lock);

// An auto-reset event: a signal given while nobody waits is kept for the
// next wait, several signals before a wait count as one, and a wait that
// returns with it has used it up. One waiter at a time.
struct Wakeup {
    alignas(16) unsigned char storage[128];
    bool made = false;
};
Result MakeWakeup(Wakeup& wakeup);
void DestroyWakeup(Wakeup& wakeup);
void SignalWakeup(Wakeup& wakeup);
// True on a signal, false when `timeoutMs` (WaitForever: no limit) ran out.
bool WaitWakeup(Wakeup& wakeup, uint32_t timeoutMs);

// The thread is handed its own record, so it must stay in place until joined.
struct Thread {
    intptr_t handle = 0;
    bool started = false;
    void (*entry)(void* context) = nullptr;
    void* context = nullptr;
};
Result StartThread(Thread& thread, void (*entry)(void* context), void* context);
// Waits for the thread's end and releases it; a thread never started is let be.
void JoinThread(Thread& thread);

// What the receive path asks of the platform, as a table: the system's
// clock and waits in the programs, a fake clock and recorded waits in the
// tests that drive the assembler pass by pass.
struct PlatformCalls {
    void* context;
    int64_t (*now)(void* context);
    bool (*wait)(void* context, Wakeup& wakeup, uint32_t timeoutMs);
};
extern const PlatformCalls SystemCalls;
