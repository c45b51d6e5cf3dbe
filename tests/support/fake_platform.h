// A fake of the platform seams for driving the assembler pass by pass: a
// clock that moves only when the test moves it, and waits that return at
// once and record the time limit they were given.
#pragma once

#include <cstdint>
#include <vector>

void AdvanceClock(int64_t microseconds);

// The time limits of the waits since the last call (WaitForever for none).
std::vector<uint32_t> TakeWaits();

// Called inside each fake wait, to let bytes "arrive" while the assembler
// waits. Null for none.
void SetWaitHook(void (*hook)());

void ResetFakePlatform();
