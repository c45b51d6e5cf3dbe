// A recording frame sink for the receiver's tests: it keeps a copy of every
// frame handed over, and can run a hook once inside a hand-over (bytes that
// arrive while a reply operation runs).
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "link/frame_receiver.h"

struct FrameRecorder {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> frames;
    void (*hook)(void*) = nullptr;   // run once, after the next frame is recorded
    void* hookContext = nullptr;
};

FrameSink RecordingSink(FrameRecorder& recorder);
std::vector<std::vector<uint8_t>> TakeFrames(FrameRecorder& recorder);
size_t FrameCount(FrameRecorder& recorder);
