#include "tests/support/fake_platform.h"

#include <atomic>
#include <mutex>

#include "link/platform.h"

namespace {

std::atomic<int64_t> now{1000000};
std::mutex recordLock;
std::vector<uint32_t> waits;
std::atomic<void (*)()> waitHook{nullptr};
std::mutex receiveLock;

}  // namespace

void AdvanceClock(int64_t microseconds) { now.fetch_add(microseconds); }

std::vector<uint32_t> TakeWaits()
{
    std::lock_guard<std::mutex> hold(recordLock);
    std::vector<uint32_t> taken;
    taken.swap(waits);
    return taken;
}

void SetWaitHook(void (*hook)()) { waitHook.store(hook); }

void ResetFakePlatform()
{
    SetWaitHook(nullptr);
    TakeWaits();
}

void SleepMilliseconds(uint32_t ms) { AdvanceClock(static_cast<int64_t>(ms) * 1000); }
int64_t MonotonicMicroseconds() { return now.load(); }

void WaitForReceivedBytes(uint32_t timeoutMs)
{
    {
        std::lock_guard<std::mutex> hold(recordLock);
        waits.push_back(timeoutMs);
    }
    if (auto hook = waitHook.load())
        hook();
}

void SignalReceivedBytes() {}
void SignalPortOpened() {}
void WaitForPortOpened() {}

void InitReceiveLock() {}
void EnterReceiveLock() { receiveLock.lock(); }
void LeaveReceiveLock() { receiveLock.unlock(); }
