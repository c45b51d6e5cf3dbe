#include "link/platform.h"

#include <windows.h>

namespace {
CRITICAL_SECTION ReceiveLock;
}

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }

void InitReceiveLock() { InitializeCriticalSection(&ReceiveLock); }

void EnterReceiveLock() { EnterCriticalSection(&ReceiveLock); }

void LeaveReceiveLock() { LeaveCriticalSection(&ReceiveLock); }
