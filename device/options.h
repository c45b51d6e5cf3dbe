// The command line of quorvane-device.
#pragma once

#include <cstdint>
#include <string>

#include "device/answer.h"
#include "device/device_state.h"

struct DeviceOptions {
    std::string port;        // serve this serial device instead of a new pty ("": a new pty)
    std::string link;        // symlink to the pty's slave, removed on exit ("": none)
    std::string framesLog;   // machine-readable frame log ("": none)
    bool wallClock;          // frames log times from 1970 instead of from the start
    bool lineSpeed;          // send and take bytes at 115200 8N1's pace, not at memory speed
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
    bool macGiven;           // --mac; else the device takes one of its own (InstanceMac)
    bool quiet;
    bool help;
};

// Reads the command line into `out`. False when it cannot be used, with the
// reason in `message`. With --help it is true, `out.help` is set and
// `message` holds the help text.
bool ParseOptions(int argc, const char* const* argv, DeviceOptions& out, std::string& message);
