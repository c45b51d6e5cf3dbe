// The few platform operations the portable receive path needs, bound at link
// time: platform_win32.cpp or platform_posix.cpp in the programs, a fake in
// the tests that drive the assembler pass by pass.
#pragma once

#include <cstdint>

void SleepMilliseconds(uint32_t ms);

// A clock that only moves forward, in microseconds from some fixed moment:
// the assembler's time limit is measured on it, never counted in sleeps
// (Sleep(1) lasts a whole timer tick, about 15.6 ms, on a default Windows).
int64_t MonotonicMicroseconds();

// ReceiveLock: the one lock of the system, guarding the assembly buffer.
// Initialised once before either receiver thread can take it, never destroyed.
void InitReceiveLock();
void EnterReceiveLock();
void LeaveReceiveLock();

// Two wake-ups, each with the meaning of a Win32 auto-reset event: a signal
// given while nobody waits is kept for the next wait, several signals before
// a wait count as one, and a wait that returns has used the signal up. Each
// has one waiter only.
constexpr uint32_t WaitForever = 0xFFFFFFFFu;

// Reader -> assembler: bytes were appended to AssemblyBuffer. The wait ends
// on a signal or after `timeoutMs` (WaitForever: no limit).
void SignalReceivedBytes();
void WaitForReceivedBytes(uint32_t timeoutMs);

// OpenPort -> reader: a port has been opened, so a reader idle for want of a
// port has work again.
void SignalPortOpened();
void WaitForPortOpened();
