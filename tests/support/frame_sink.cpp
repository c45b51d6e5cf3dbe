#include "tests/support/frame_sink.h"

namespace {

void Record(void* context, const uint8_t* frame, uint32_t total)
{
    FrameRecorder& r = *static_cast<FrameRecorder*>(context);
    void (*hook)(void*) = nullptr;
    {
        std::lock_guard<std::mutex> hold(r.lock);
        r.frames.emplace_back(frame, frame + total);
        std::swap(hook, r.hook);
    }
    if (hook != nullptr)
        hook(r.hookContext);
}

}  // namespace

FrameSink RecordingSink(FrameRecorder& recorder) { return FrameSink{&recorder, Record}; }

std::vector<std::vector<uint8_t>> TakeFrames(FrameRecorder& recorder)
{
    std::lock_guard<std::mutex> hold(recorder.lock);
    std::vector<std::vector<uint8_t>> taken;
    taken.swap(recorder.frames);
    return taken;
}

size_t FrameCount(FrameRecorder& recorder)
{
    std::lock_guard<std::mutex> hold(recorder.lock);
    return recorder.frames.size();
}
