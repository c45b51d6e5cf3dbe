#include "tests/support/fake_platform.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "link/platform.h"

namespace {

std::atomic<uint32_t> sleeps{0};
std::mutex receiveLock;
std::atomic<void (*)()> sleepHook{nullptr};

}  // namespace

uint32_t SleepCount() { return sleeps.load(); }
void ResetSleepCount() { sleeps.store(0); }
void SetSleepHook(void (*hook)()) { sleepHook.store(hook); }

void SleepMilliseconds(uint32_t)
{
    sleeps.fetch_add(1);
    if (auto hook = sleepHook.load())
        hook();
    std::this_thread::yield();
}

void InitReceiveLock() {}
void EnterReceiveLock() { receiveLock.lock(); }
void LeaveReceiveLock() { receiveLock.unlock(); }
