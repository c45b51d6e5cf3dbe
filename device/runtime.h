// The running device's one set of state, shared by its main loop and its
// sending side. Everything runs on one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>

#include "device/line_posix.h"
#include "device/line_speed.h"
#include "device/options.h"
#include "device/rx_stream.h"

struct Runtime {
    DeviceOptions options;
    DeviceLine line;
    FILE* framesLog;
    bool colour;
    std::mt19937 random;
    uint32_t repliesSent;
    int64_t startMs;
    RxStream rx;
    LinePace pace;   // with --line-speed
    int clients;     // inotify descriptor of the pty's openings and closings; -1: none (a serial device)
    int clientsOpen; // openings less closings seen on it
};

// Milliseconds on the product's monotonic clock (link/platform.h).
int64_t MonotonicMs();
int64_t ElapsedMs(const Runtime& rt);

// One trace line on stderr: time, a tag (RX, RX?, RX!, TX, --) and the text.
void Trace(Runtime& rt, const char* tag, const char* text);

// One frames-log line: "<ms> TAG <hex>", <ms> from the start or, with
// --wall-clock, from 1970.
void LogFrame(Runtime& rt, const char* tag, const uint8_t* bytes, uint32_t count);

// Logs and traces the openings and closings of the pty's client that the
// inotify descriptor `fd` holds, and counts them in rt.clientsOpen.
void NoteClients(Runtime& rt, int fd);

// A ReplySink: sends one reply frame with the configured transmit faults
// (delay, noise, corruption, pieces), logging and tracing it.
void TransmitReply(void* runtime, const uint8_t* frame, uint32_t total);
