#include "cli/worker_pool.h"

#include <algorithm>

#include "cli/interrupt.h"

namespace {

void Work(void* context)
{
    WorkerPool& pool = *static_cast<WorkerPool*>(context);
    for (size_t item; !Interrupted() && !pool.stopping.load() && (item = pool.next.fetch_add(1)) < pool.job->items;)
        pool.job->work(pool.job->context, pool, item);
}

// Until every item is done or Ctrl+C; the items at work then end on their
// own, and the joins wait for them.
void ShowUntilDone(WorkerPool& pool)
{
    for (;;) {
        EnterLock(pool.lock);
        const bool done = pool.job->show(pool.job->context);
        LeaveLock(pool.lock);
        if (done || Interrupted())
            return;
        WaitWakeup(pool.changed, WaitForever);
    }
}

}  // namespace

void PoolChanged(WorkerPool& pool) { SignalWakeup(pool.changed); }

Result RunPool(WorkerPool& pool, const PoolJob& job, size_t jobs)
{
    pool.job = &job;
    pool.next.store(0);
    pool.stopping.store(false);
    Result made = Named(MakeLock(pool.lock), "the progress lock");
    if (!Succeeded(made))
        return made;
    made = StartInterruptWatch(pool.changed);
    if (!Succeeded(made)) {
        DestroyLock(pool.lock);
        return made;
    }
    const size_t count = std::max<size_t>(1, std::min({jobs, job.items, MaxJobs}));
    for (size_t t = 0; t < count && Succeeded(made); ++t)
        made = Named(StartThread(pool.threads[t], Work, &pool), "a worker thread");
    if (Succeeded(made))
        ShowUntilDone(pool);
    else
        pool.stopping.store(true);   // the workers that did start take no more items
    for (Thread& t : pool.threads)
        JoinThread(t);
    EndInterruptWatch(pool.changed);
    DestroyLock(pool.lock);
    return made;
}
