// The device's small command interpreter. Each output line is handed to the
// sink on its own, because the device answers one reply frame per line.
#pragma once

#include <cstdint>

#include "device/device_state.h"

constexpr uint32_t PingDefaultCount = 4;
constexpr uint32_t PingMaxCount = 20;
// seq prints at most this many numbers: a long answer (a real device's
// `dmesg` or `cat` of a log), kilobytes in many replies.
constexpr uint32_t SeqMaxLines = 10000;

using ShellLineSink = void (*)(void* context, const char* line);

// Runs `command` (`length` bytes, not necessarily zero-terminated) against
// `state`. Knows ifconfig, route, ping, echo, seq and help; anything else prints a
// shell-style "not found" line. An empty command prints nothing.
void RunShell(const DeviceState& state, const char* command, uint32_t length,
              ShellLineSink sink, void* context);
