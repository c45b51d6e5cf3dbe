#include "cli/interrupt.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::atomic<bool> interrupted{false};
// Registered by the threads that wait, read by the thread that notes the press.
std::mutex registryLock;
std::vector<Wakeup*> registry;

}  // namespace

bool Interrupted() { return interrupted.load(); }

void WakeOnInterrupt(Wakeup& wakeup)
{
    std::lock_guard<std::mutex> hold(registryLock);
    registry.push_back(&wakeup);
    if (interrupted.load())
        SignalWakeup(wakeup);
}

void StopWakingOnInterrupt(Wakeup& wakeup)
{
    std::lock_guard<std::mutex> hold(registryLock);
    registry.erase(std::remove(registry.begin(), registry.end(), &wakeup), registry.end());
}

bool StartInterruptWatch(Wakeup& wakeup)
{
    if (!MakeWakeup(wakeup, nullptr))
        return false;
    if (!StartListening()) {
        DestroyWakeup(wakeup);
        return false;
    }
    WakeOnInterrupt(wakeup);
    return true;
}

void EndInterruptWatch(Wakeup& wakeup)
{
    StopWakingOnInterrupt(wakeup);
    StopListening();
    DestroyWakeup(wakeup);
}

void NoteInterrupt()
{
    interrupted.store(true);
    std::lock_guard<std::mutex> hold(registryLock);
    for (Wakeup* w : registry)
        SignalWakeup(*w);
}
