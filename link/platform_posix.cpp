#include "link/platform.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <time.h>

namespace {

std::mutex ReceiveLock;

// An auto-reset event: the flag is the kept signal.
class Wakeup {
public:
    void Signal()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            signalled = true;
        }
        changed.notify_one();
    }

    void Wait(uint32_t timeoutMs)
    {
        std::unique_lock<std::mutex> hold(lock);
        auto given = [this] { return signalled; };
        if (timeoutMs == WaitForever)
            changed.wait(hold, given);
        else
            changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), given);
        signalled = false;
    }

private:
    std::mutex lock;
    std::condition_variable changed;   // steady clock: unaffected by clock changes
    bool signalled = false;
};

// Never destroyed: the receiver threads wait on them until the process
// ends, and glibc's pthread_cond_destroy, run by a static destructor at
// exit, would wait for those waiters for ever.
template <typename T>
class Immortal {
public:
    Immortal() { new (storage) T; }
    T& operator*() { return *reinterpret_cast<T*>(storage); }

private:
    alignas(T) unsigned char storage[sizeof(T)];
};

Immortal<Wakeup> BytesArrived;
Immortal<Wakeup> PortOpened;

}  // namespace

void SleepMilliseconds(uint32_t ms)
{
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0) {
    }
}

int64_t MonotonicMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// A std::mutex needs no initialisation; the call stays so that both platforms
// are started the same way.
void InitReceiveLock() {}

void EnterReceiveLock() { ReceiveLock.lock(); }

void LeaveReceiveLock() { ReceiveLock.unlock(); }

void SignalReceivedBytes() { (*BytesArrived).Signal(); }

void WaitForReceivedBytes(uint32_t timeoutMs) { (*BytesArrived).Wait(timeoutMs); }

void SignalPortOpened() { (*PortOpened).Signal(); }

void WaitForPortOpened() { (*PortOpened).Wait(WaitForever); }
