#include "link/platform.h"

namespace {

int64_t SystemNow(void*) { return MonotonicMicroseconds(); }
bool SystemWait(void*, Wakeup& wakeup, uint32_t timeoutMs) { return WaitWakeup(wakeup, timeoutMs); }

}  // namespace

const PlatformCalls SystemCalls{nullptr, SystemNow, SystemWait};
