// The few platform operations the portable receive path needs, bound at link
// time: platform_win32.cpp or platform_posix.cpp in the programs, a fake in
// the tests that drive the assembler pass by pass.
#pragma once

#include <cstdint>

void SleepMilliseconds(uint32_t ms);

// ReceiveLock: the one lock of the system, guarding the assembly buffer.
// Initialised once before either receiver thread can take it, never destroyed.
void InitReceiveLock();
void EnterReceiveLock();
void LeaveReceiveLock();
