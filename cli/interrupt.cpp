#include "cli/interrupt.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

// Process-wide, as the signal or console handler that feeds it is: the
// press and the wake-ups to signal. A std::mutex, not the platform's Lock:
// the registry must work from the program's start, before anything could
// make a Lock at run time.
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

Result StartInterruptWatch(Wakeup& wakeup)
{
    Result made = Named(MakeWakeup(wakeup), "the progress wake-up");
    if (!Succeeded(made))
        return made;
    made = StartListening();
    if (!Succeeded(made)) {
        DestroyWakeup(wakeup);
        return made;
    }
    WakeOnInterrupt(wakeup);
    return Success;
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
