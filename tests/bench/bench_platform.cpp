// Without the serial library: a sleep that does not sleep and a lock nobody
// else takes, for the single-threaded benchmarks, and a port that drops writes.
#include "link/platform.h"
#include "link/serial_port.h"

void SleepMilliseconds(uint32_t) {}
void InitReceiveLock() {}
void EnterReceiveLock() {}
void LeaveReceiveLock() {}
void WritePort(const uint8_t*, uint32_t) {}
