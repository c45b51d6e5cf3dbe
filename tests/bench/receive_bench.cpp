// Frames per second through the receive path in one thread: each read is
// appended as the reader would (StagingBuffer, AppendStagedBytes), then
// AssemblerPass cuts the frames and the real HandleReplyFrame checks and
// dispatches them to counting fakes.
//
// With the serial library built in (QV_BENCH_PTY), the delay from writing a
// reply's last byte into a pty to its dispatch, with the real port, reader
// and assembler threads running.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/frame_codec.h"
#include "link/frame_receiver.h"
#include "protocol/device_client.h"
#include "tests/bench/bench_replies.h"

#ifdef QV_BENCH_PTY
#include "link/platform.h"
#include "link/serial_port.h"
#include "tests/serial/pty_pair.h"
#endif

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

#ifdef QV_BENCH_PTY

constexpr int LatencyReplies = 1000;

// Arg 0: each heartbeat reply written whole into an idle line (the assembler
// is in its 1 ms sleeps). Arg 1: its first 8 bytes written 2 ms ahead of the
// last one (the assembler is testing a started frame without sleeping).
// Registered after the in-process benchmarks: once started, the threads run
// until the process ends.
void BM_PtyReplyLatency(benchmark::State& state)
{
    static PtyPair line;
    static bool started = false;
    if (!line.Ok() || !OpenPort(line.path.c_str())) {
        state.SkipWithError("no pty");
        return;
    }
    if (!started) {
        started = true;
        ResetReceiverForTest();
        std::thread(ReaderThread).detach();
        InitReceiveLock();
        std::thread(AssemblerThread).detach();
    }
    const bool split = state.range(0) != 0;
    const auto frame = Reply(ReplyCode(Heartbeat), "");
    const size_t head = split ? frame.size() - 1 : 0;
    std::vector<double> micros;
    micros.reserve(LatencyReplies);
    for (auto _ : state) {
        for (int i = 0; i < LatencyReplies; ++i) {
            const uint64_t before = repliesDispatched.load(std::memory_order_acquire);
            if (head != 0) {
                WriteAll(line.master, std::vector<uint8_t>(frame.begin(), frame.begin() + head));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            const int64_t written = NowNs();
            WriteAll(line.master, std::vector<uint8_t>(frame.begin() + head, frame.end()));
            const int64_t limit = written + 2'000'000'000;
            while (repliesDispatched.load(std::memory_order_acquire) == before) {
                if (NowNs() > limit) {
                    state.SkipWithError("a reply was not dispatched within 2 s");
                    ClosePort();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            micros.push_back(static_cast<double>(lastDispatchNs.load() - written) / 1000.0);
        }
    }
    ClosePort();
    std::sort(micros.begin(), micros.end());
    state.counters["replies"] = static_cast<double>(micros.size());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_PtyReplyLatency)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

BENCHMARK_MAIN();
