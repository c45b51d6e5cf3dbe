// Counting fakes of the reply operations for the benchmarks: no recording,
// no allocation, so that what is measured is the receive path itself. Each
// dispatch stores its time, for the latency measurement over a pty.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<uint64_t> repliesDispatched;
extern std::atomic<int64_t> lastDispatchNs;   // steady clock

int64_t NowNs();
