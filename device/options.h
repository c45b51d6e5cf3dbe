// The command line of quorvane-device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "device/answer.h"
#include "device/device_state.h"

struct DeviceOptions {
    const char* port;        // serve this serial device instead of a new pty
    const char* link;        // symlink to the pty's slave, removed on exit
    const char* framesLog;   // machine-readable frame log
    DeviceState state;
    AnswerFaults faults;
    uint32_t delayMs;
    uint32_t corruptEvery;   // 0: never
    bool noise;
    uint32_t noiseEvery;     // with noise: before every Nth reply (1: all)
    bool fragment;
    int64_t hangupMs;        // -1: never
    uint32_t seed;
    bool seedGiven;
    bool quiet;
    bool help;
};

// False with a message in `error` when the command line cannot be used.
bool ParseOptions(int argc, const char* const* argv, DeviceOptions& out, char* error,
                  size_t capacity);

void PrintUsage(FILE* to);
