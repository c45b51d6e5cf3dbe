// A fake of the receive path's platform calls, for driving the assembler
// pass by pass: a clock that moves only when the test moves it, and waits
// that return at once and record the time limit they were given.
#pragma once

#include <cstdint>
#include <vector>

#include "link/platform.h"

struct FakePlatform {
    int64_t now = 1000000;
    std::vector<uint32_t> waits;       // the limits, WaitForever for none
    void (*waitHook)(void*) = nullptr;   // runs inside each wait: bytes that "arrive" meanwhile
    void* hookContext = nullptr;
};

PlatformCalls FakeCalls(FakePlatform& fake);

// The waits since the last call.
std::vector<uint32_t> TakeWaits(FakePlatform& fake);
