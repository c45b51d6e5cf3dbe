#include "link/platform.h"

#include <mutex>
#include <time.h>

namespace {
std::mutex ReceiveLock;
}

void SleepMilliseconds(uint32_t ms)
{
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

// A std::mutex needs no initialisation; the call stays so that both platforms
// are started the same way.
void InitReceiveLock() {}

void EnterReceiveLock() { ReceiveLock.lock(); }

void LeaveReceiveLock() { ReceiveLock.unlock(); }
