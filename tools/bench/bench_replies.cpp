#include "tools/bench/bench_replies.h"

#include <chrono>

#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"

std::atomic<uint64_t> repliesDispatched{0};
std::atomic<int64_t> lastDispatchNs{0};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

namespace {

void Dispatched()
{
    lastDispatchNs.store(NowNs(), std::memory_order_relaxed);
    repliesDispatched.fetch_add(1, std::memory_order_release);
}

}  // namespace

void ShowNetConfig(const NetConfig&) { Dispatched(); }
void AppendOutputLine(const char*) { Dispatched(); }
void ShowAdminPassword(const char*) { Dispatched(); }
void ShowNotice(const char*) { Dispatched(); }
void OnHeartbeatReply() { Dispatched(); }
