// Frames per second through the receive path in one thread: each read is
// appended as the reader would (StagingBuffer, AppendStagedBytes), then
// AssemblerPass cuts the frames and the real HandleReplyFrame checks and
// dispatches them to counting fakes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "link/frame_receiver.h"
#include "protocol/device_client.h"
#include "tests/bench/bench_replies.h"

namespace {

std::vector<uint8_t> Reply(uint8_t code, const std::string& body)
{
    std::vector<uint8_t> payload{0x00};
    payload.insert(payload.end(), body.begin(), body.end());
    std::vector<uint8_t> frame(payload.size() + FrameOverhead);
    BuildFrame(code, payload.data(), static_cast<uint16_t>(payload.size()), frame.data(),
               static_cast<uint32_t>(frame.size()));
    return frame;
}

// Reads of up to 1024 bytes holding as many whole frames as fit.
void RunFrames(benchmark::State& state, const std::vector<uint8_t>& frame)
{
    const uint32_t perRead = MaxReadSize / static_cast<uint32_t>(frame.size());
    std::vector<uint8_t> read;
    for (uint32_t i = 0; i < perRead; ++i)
        read.insert(read.end(), frame.begin(), frame.end());
    ResetReceiverForTest();
    const uint64_t before = repliesDispatched.load();
    for (auto _ : state) {
        std::memcpy(StagingBuffer.data(), read.data(), read.size());
        StagingCount = static_cast<uint32_t>(read.size());
        AppendStagedBytes();
        StagingCount = 0;
        while (AssemblyFill.load(std::memory_order_relaxed) != 0)
            AssemblerPass();
    }
    const uint64_t frames = repliesDispatched.load() - before;
    if (frames != static_cast<uint64_t>(state.iterations()) * perRead)
        state.SkipWithError("not every frame was dispatched");
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.SetBytesProcessed(static_cast<int64_t>(frames * frame.size()));
}

void BM_HeartbeatReplies9Bytes(benchmark::State& state)
{
    RunFrames(state, Reply(ReplyCode(Heartbeat), ""));
}
BENCHMARK(BM_HeartbeatReplies9Bytes);

void BM_OutputReplies1024Bytes(benchmark::State& state)
{
    RunFrames(state, Reply(ReplyCode(RunShellCommand), std::string(1015, 'x')));
}
BENCHMARK(BM_OutputReplies1024Bytes);

}  // namespace

BENCHMARK_MAIN();
