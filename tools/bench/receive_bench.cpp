// Frames per second through the receive path in one thread: each read is
// appended as the reader would (AppendBytes), then AssemblerPass cuts the
// frames and the real HandleReplyFrame checks and dispatches them to a
// reply handler that counts them (no recording, no allocation, so that what
// is measured is the receive path itself).
//
// Then, over ptys, the delay from writing a reply's last byte to its
// dispatch, for our port, reader and assembler threads and, side by side in
// the same run, for a plain python3-serial reader; and the processor time
// the receive threads take while they wait.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/line_posix.h"
#include "session/session.h"

namespace {

constexpr int LatencyReplies = 1000;

std::atomic<uint64_t> repliesDispatched{0};

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Dispatched(void*, const Reply&) { repliesDispatched.fetch_add(1, std::memory_order_relaxed); }

const SessionCallbacks Counting{ReplyHandler{nullptr, Dispatched}, SupervisionHost{}, FrameTap{}};

// The latency run's dispatches, each stored under its own number, so that
// reply i is set beside write i and nothing else: a late dispatch of one
// reply can never be taken for the next one's.
struct Dispatches {
    std::atomic<uint32_t> count{0};
    std::array<std::atomic<int64_t>, LatencyReplies + 1> at{};
};
Dispatches timed;

void TimedDispatch(void*, const Reply&)
{
    const uint32_t n = timed.count.load(std::memory_order_relaxed);
    if (n < timed.at.size())
        timed.at[n].store(NowNs(), std::memory_order_relaxed);
    timed.count.store(n + 1, std::memory_order_release);   // the assembler is the only writer
}

const SessionCallbacks Timed{ReplyHandler{nullptr, TimedDispatch}, SupervisionHost{}, FrameTap{}};

void HandOver(void* session, const uint8_t* frame, uint32_t total)
{
    HandleSessionFrame(*static_cast<Session*>(session), frame, total);
}

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
    // A session's receiver driven by this thread alone: no threads started.
    static Session session;
    BindSession(session, Counting);
    static Receiver receiver;
    if (!receiver.made)
        MakeReceiver(receiver, FrameSink{&session, HandOver}, SystemCalls);
    const uint64_t before = repliesDispatched.load();
    for (auto _ : state) {
        AppendBytes(receiver, read.data(), static_cast<uint32_t>(read.size()), 1);
        while (receiver.fill.load(std::memory_order_relaxed) != 0)
            AssemblerPass(receiver);
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

struct Spread {
    double median, p99, max;
};

Spread SpreadOf(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back()};
}

void Report(benchmark::State& state, const Spread& s, size_t replies)
{
    state.counters["replies"] = static_cast<double>(replies);
    state.counters["median_us"] = s.median;
    state.counters["p99_us"] = s.p99;
    state.counters["max_us"] = s.max;
}

// Each heartbeat reply is written whole into a quiet line at a random moment,
// and `dispatchedAt(i)` (blocking) tells when the reader under test had
// reply i. A reply that came before it was written, or none at all, makes
// the run an error, not a figure. Returns the error, or null.
template <typename DispatchedAt>
const char* MeasureReplies(DeviceLine& line, DispatchedAt dispatchedAt, std::vector<double>& micros)
{
    const auto frame = Reply(ReplyCode(Heartbeat), "");
    std::mt19937 rng(7);
    for (int i = 0; i < LatencyReplies; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 1300));
        const int64_t written = NowNs();
        WriteLine(line, frame.data(), static_cast<uint32_t>(frame.size()));
        const int64_t at = dispatchedAt(static_cast<uint32_t>(i));
        if (at < 0)
            return "a reply was not had within 2 s, or more replies were had than written";
        if (at < written)
            return "a reply was had before it was written: the pairs do not line up";
        micros.push_back(static_cast<double>(at - written) / 1000.0);
    }
    return nullptr;
}

double ourMedianUs = 0;
Session ours;

// Our port on a pty of the bench's own, made once, in a started session:
// replies are written on its master (line.fd), the reader under test reads
// line.clientPath. Null, with the benchmark skipped, if it fails.
DeviceLine* OurLine(benchmark::State& state)
{
    static DeviceLine line{};
    static const bool made = Succeeded(OpenPtyLine(line)) && Succeeded(StartSession(ours, Timed));
    static bool opened = false;
    if (made && !opened)
        opened = PortOpened(OpenPort(ours.port, line.clientPath));
    if (!made || !opened) {
        state.SkipWithError("no pty");
        return nullptr;
    }
    return &line;
}

// Our port, reader and assembler threads, and the real HandleReplyFrame.
void BM_PtyReplyLatency(benchmark::State& state)
{
    DeviceLine* line = OurLine(state);
    if (line == nullptr)
        return;
    std::vector<double> micros;
    for (auto _ : state) {
        timed.count.store(0);
        const char* error = MeasureReplies(*line, [](uint32_t i) {
            const int64_t limit = NowNs() + 2'000'000'000;
            while (timed.count.load(std::memory_order_acquire) <= i) {
                if (NowNs() > limit)
                    return int64_t{-1};
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
            return timed.count.load(std::memory_order_acquire) == i + 1 ? timed.at[i].load() : int64_t{-1};
        }, micros);
        if (error != nullptr) {
            state.SkipWithError(error);
            return;
        }
    }
    if (micros.empty())
        return;
    const Spread s = SpreadOf(micros);
    ourMedianUs = s.median;
    Report(state, s, micros.size());
}
BENCHMARK(BM_PtyReplyLatency)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same replies read by tools/bench/serial_peer.py (python3-serial) on a
// pty of its own, in the same run.
void BM_PtyReplyLatencyPythonPeer(benchmark::State& state)
{
    DeviceLine line{};
    const bool made = Succeeded(OpenPtyLine(line));
    const std::string command = "/usr/bin/python3 " QV_SOURCE_DIR "/tools/bench/serial_peer.py " +
                                std::string(line.clientPath) + " " + std::to_string(LatencyReplies);
    FILE* peer = made ? popen(command.c_str(), "r") : nullptr;
    char text[64] = {};
    if (peer == nullptr || std::fgets(text, sizeof text, peer) == nullptr ||
        std::strncmp(text, "ready", 5) != 0) {
        if (peer != nullptr)
            pclose(peer);
        if (made)
            CloseLine(line);
        state.SkipWithError("python3-serial peer did not start");
        return;
    }
    std::vector<double> micros;
    const char* error = nullptr;
    for (auto _ : state) {
        error = MeasureReplies(line, [&](uint32_t) {
            char at[64] = {};
            return std::fgets(at, sizeof at, peer) != nullptr ? std::atoll(at) : int64_t{-1};
        }, micros);
    }
    pclose(peer);
    CloseLine(line);
    if (error != nullptr) {
        state.SkipWithError(error);
        return;
    }
    const Spread s = SpreadOf(micros);
    Report(state, s, micros.size());
    if (ourMedianUs > 0 && s.median > 0)   // ours measured in this run, with no error
        state.counters["ours_over_peer"] = ourMedianUs / s.median;
}
BENCHMARK(BM_PtyReplyLatencyPythonPeer)->Iterations(1)->Unit(benchmark::kMillisecond);

// Processor time of the receive threads (the whole process but this thread,
// which sleeps) per second of wall time, with the port of the latency run
// open: Arg 0 quiet, Arg 1 holding the first 12 bytes of a 41-byte reply.
void BM_ReceiveThreadsCpu(benchmark::State& state)
{
    DeviceLine* line = OurLine(state);
    if (line == nullptr)
        return;
    const auto frame = Reply(ReplyCode(RunShellCommand), std::string(32, 'x'));
    if (state.range(0) != 0)
        WriteLine(*line, frame.data(), 12);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    double percent = 0;
    for (auto _ : state) {
        timespec p0{}, t0{}, p1{}, t1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &p0);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &p1);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        auto ns = [](const timespec& a, const timespec& b) {
            return (b.tv_sec - a.tv_sec) * 1e9 + static_cast<double>(b.tv_nsec - a.tv_nsec);
        };
        percent = (ns(p0, p1) - ns(t0, t1)) / 2e9 * 100.0;
    }
    ClosePort(ours.port);
    state.counters["cpu_percent_of_a_core"] = percent < 0 ? 0 : percent;   // clock granularity
}
BENCHMARK(BM_ReceiveThreadsCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    EndSession(ours);
    return 0;
}
