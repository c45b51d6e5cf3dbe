// A fake of the platform seams for driving the assembler without time: the
// sleep only counts (and yields, so a spinning thread leaves the core to
// others), and ReceiveLock is a std::mutex.
#pragma once

#include <cstdint>

uint32_t SleepCount();
void ResetSleepCount();

// Called inside each fake sleep, to let bytes "arrive" while the assembler
// sleeps. Null for none.
void SetSleepHook(void (*hook)());
