// The rack commands' workers (provision, ports --probe): up to `jobs`
// platform threads take items by number, each item a port worked in a
// session of its own, while the calling thread redraws the progress each
// time a worker tells of a change, until every item is done or Ctrl+C is
// pressed. Then the items at work end on their own, each once its session
// has closed its port, and every thread is joined before RunPool returns.
//
// Threads and ownership:
//   lock      guards whatever the items' records share between the workers
//             and the calling thread (the job's own data)
//   changed   a worker's change, or Ctrl+C -> the calling thread
//   next      the next item, taken by the workers
//   stopping  set by the calling thread when a worker could not start
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

#include "link/platform.h"

constexpr size_t MaxJobs = 64;

struct WorkerPool;

struct PoolJob {
    void* context;
    size_t items;
    // A worker thread, for each item in turn until Ctrl+C; the item's own
    // thread may leave it at once (a bad row, an excluded port).
    void (*work)(void* context, WorkerPool& pool, size_t item);
    // The calling thread, with `lock` held, at the start and after every
    // change: redraws, and says whether every item is done.
    bool (*show)(void* context);
};

struct WorkerPool {
    Lock lock;
    Wakeup changed;
    std::atomic<size_t> next{0};
    std::atomic<bool> stopping{false};
    std::array<Thread, MaxJobs> threads{};
    const PoolJob* job = nullptr;
};

// Runs `job` on min(jobs, items, MaxJobs) threads (at least one). Fails,
// with nothing left running, when the lock, the wake-up, the Ctrl+C
// listener or a thread cannot be made; the items a started worker took
// are done all the same. Afterwards the caller settles what was not done.
Result RunPool(WorkerPool& pool, const PoolJob& job, size_t jobs);

// A worker's change to its item's record (made under `pool.lock`): wakes
// the calling thread to show it.
void PoolChanged(WorkerPool& pool);
