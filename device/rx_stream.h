// The device's receive side: cuts requests out of the byte stream and names
// whatever is not one. Unlike the utility's receiver it resynchronises on the
// next start pair instead of throwing away all it holds, so that every byte
// that arrives shows up in the trace exactly once.
#pragma once

#include <array>
#include <cstdint>

#include "wire/frame_codec.h"

constexpr uint32_t RxBufferSize = 2048;
constexpr uint32_t MaxGarbageRun = 256;      // longer runs are reported in parts
constexpr int64_t RxQuietMs = 300;           // a partial frame older than this is given up

enum class RxKind {
    Frame,         // whole frame, checksum good
    BadChecksum,   // whole frame, checksum wrong
    Garbage,       // bytes outside any frame
    Oversize,      // a header declaring more than MaxFrameBytes; its start pair is dropped
    Incomplete,    // a frame's start that was never finished
};

using RxSink = void (*)(void* context, RxKind kind, const uint8_t* bytes, uint32_t count);

struct RxStream {
    std::array<uint8_t, RxBufferSize> held;
    uint32_t fill;
    std::array<uint8_t, MaxGarbageRun> garbage;
    uint32_t garbageCount;
    int64_t lastByteMs;
};

void RxReset(RxStream& rx);

// Room left for the next read.
uint32_t RxSpace(const RxStream& rx);

// Takes `count` new bytes and reports every frame and every run of garbage
// that they complete.
void RxFeed(RxStream& rx, const uint8_t* bytes, uint32_t count, int64_t nowMs, RxSink sink,
            void* context);

// Called when nothing has arrived for a while: reports pending garbage, and a
// partial frame once the line has been quiet for RxQuietMs.
void RxQuiet(RxStream& rx, int64_t nowMs, RxSink sink, void* context);
