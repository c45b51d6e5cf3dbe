// POSIX: pthread objects, and condition variables on CLOCK_MONOTONIC so that
// a change of the wall clock cannot stretch or cut a time limit.
#include "link/platform.h"

#include <pthread.h>
#include <sys/time.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <new>

namespace {

struct PosixWakeup {
    pthread_mutex_t lock;
    pthread_cond_t changed;
    bool signalled;
};

static_assert(sizeof(pthread_mutex_t) <= sizeof(Lock::storage), "Lock storage too small");

constexpr size_t ThreadStackBytes = 256 * 1024;
static_assert(sizeof(PosixWakeup) <= sizeof(Wakeup::storage), "Wakeup storage too small");

pthread_mutex_t* AsMutex(Lock& lock) { return reinterpret_cast<pthread_mutex_t*>(lock.storage); }
PosixWakeup* AsWakeup(Wakeup& wakeup) { return reinterpret_cast<PosixWakeup*>(wakeup.storage); }

void* RunThread(void* record)
{
    const Thread* thread = static_cast<const Thread*>(record);
    thread->entry(thread->context);
    return nullptr;
}

}  // namespace

int64_t MonotonicMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

void SleepMilliseconds(uint32_t ms)
{
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

void FormatWallClock(char* out, size_t capacity)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::snprintf(out, capacity, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long>(now.tv_usec / 1000));
}

int64_t WallClockMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

Result MakeLock(Lock& lock)
{
    const int error = pthread_mutex_init(AsMutex(lock), nullptr);
    lock.made = error == 0;
    return lock.made ? Success : Failure(Status::Failed, "pthread_mutex_init", error);
}

void DestroyLock(Lock& lock)
{
    if (lock.made)
        pthread_mutex_destroy(AsMutex(lock));
    lock.made = false;
}

void EnterLock(Lock& lock) { pthread_mutex_lock(AsMutex(lock)); }
void LeaveLock(Lock& lock) { pthread_mutex_unlock(AsMutex(lock)); }

Result MakeWakeup(Wakeup& wakeup)
{
    PosixWakeup* w = new (wakeup.storage) PosixWakeup{};
    pthread_condattr_t attributes;
    int error = pthread_condattr_init(&attributes);
    if (error == 0)
        error = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    if (error == 0)
        error = pthread_cond_init(&w->changed, &attributes);
    pthread_condattr_destroy(&attributes);
    if (error == 0) {
        error = pthread_mutex_init(&w->lock, nullptr);
        if (error != 0)
            pthread_cond_destroy(&w->changed);
    }
    wakeup.made = error == 0;
    return wakeup.made ? Success : Failure(Status::Failed, "a condition variable", error);
}

// Only once nobody waits: glibc's pthread_cond_destroy waits for waiters.
void DestroyWakeup(Wakeup& wakeup)
{
    if (!wakeup.made)
        return;
    pthread_cond_destroy(&AsWakeup(wakeup)->changed);
    pthread_mutex_destroy(&AsWakeup(wakeup)->lock);
    wakeup.made = false;
}

void SignalWakeup(Wakeup& wakeup)
{
    PosixWakeup* w = AsWakeup(wakeup);
    pthread_mutex_lock(&w->lock);
    w->signalled = true;
    pthread_cond_signal(&w->changed);
    pthread_mutex_unlock(&w->lock);
}

bool WaitWakeup(Wakeup& wakeup, uint32_t timeoutMs)
{
    PosixWakeup* w = AsWakeup(wakeup);
    timespec until{};
    if (timeoutMs != WaitForever) {
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += timeoutMs / 1000;
        until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
    }
    pthread_mutex_lock(&w->lock);
    int result = 0;
    while (!w->signalled && result != ETIMEDOUT)
        result = timeoutMs == WaitForever ? pthread_cond_wait(&w->changed, &w->lock)
                                          : pthread_cond_timedwait(&w->changed, &w->lock, &until);
    const bool signalled = w->signalled;
    w->signalled = false;
    pthread_mutex_unlock(&w->lock);
    return signalled;
}

Result StartThread(Thread& thread, void (*entry)(void* context), void* context)
{
    thread.entry = entry;
    thread.context = context;
    // A session's threads run shallow loops: a small stack, which glibc
    // keeps for the next thread, costs less to make than the default 8 MiB.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, ThreadStackBytes);
    pthread_t id{};
    const int error = pthread_create(&id, &attributes, RunThread, &thread);
    pthread_attr_destroy(&attributes);
    thread.handle = static_cast<intptr_t>(id);
    thread.started = error == 0;
    return thread.started ? Success : Failure(Status::Failed, "pthread_create", error);
}

void JoinThread(Thread& thread)
{
    if (thread.started)
        pthread_join(static_cast<pthread_t>(thread.handle), nullptr);
    thread.started = false;
}
