// Arbitrary byte streams through the whole receive path: reads of sizes taken
// from the input go in through AppendStagedBytes, AssemblerPass cuts frames,
// and the real HandleReplyFrame dispatches them to fakes that check what
// they are handed.
//
// The link wraps HandleReplyFrame (-Wl,--wrap): every frame the assembler
// delivers is checked here first and then handed to the real one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/frame_codec.h"
#include "link/frame_receiver.h"
#include "link/platform.h"
#include "link/serial_port.h"
#include "protocol/device_client.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace {

#define FUZZ_CHECK(cond)                                                               \
    do {                                                                               \
        if (!(cond)) {                                                                 \
            __builtin_printf("invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

// The frame being dispatched, for the fakes to compare their texts with.
const uint8_t* currentFrame = nullptr;
uint32_t currentTotal = 0;
uint32_t operationsThisFrame = 0;

// A reply text must be the payload from byte 1 up to the first zero or the
// payload's end, cut to `limit` bytes, and terminated within that limit.
void CheckReplyText(const char* text, uint32_t limit)
{
    FUZZ_CHECK(currentFrame != nullptr);
    const uint8_t* payload = currentFrame + FrameHeaderSize;
    const uint32_t payloadLength = currentTotal - FrameOverhead;
    uint32_t expected = 0;
    while (1 + expected < payloadLength && payload[1 + expected] != 0 && expected < limit)
        ++expected;
    FUZZ_CHECK(std::memchr(text, 0, limit + 1) != nullptr);
    FUZZ_CHECK(std::strlen(text) == expected);
    FUZZ_CHECK(std::memcmp(text, payload + 1, expected) == 0);
}

void CheckAccepted(uint8_t code)
{
    FUZZ_CHECK(currentFrame != nullptr);
    FUZZ_CHECK(CheckFrame(currentFrame, currentTotal));
    FUZZ_CHECK(currentFrame[2] == code);
    FUZZ_CHECK(currentTotal > FrameOverhead);
    FUZZ_CHECK(currentFrame[FrameHeaderSize] == 0x00);
    ++operationsThisFrame;
}

// Cuts the input into reads: a control byte gives the read's size (and how
// many passes follow it), then that many bytes are the read.
struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t at;
    bool Empty() const { return at >= size; }
    uint8_t Take() { return at < size ? data[at++] : 0; }
};

void CheckFill()
{
    FUZZ_CHECK(AssemblyFill.load() <= AssemblyBufferSize);
}

}  // namespace

extern "C" void __real__Z16HandleReplyFramePKhj(const uint8_t* frame, uint32_t total);

extern "C" void __wrap__Z16HandleReplyFramePKhj(const uint8_t* frame, uint32_t total)
{
    FUZZ_CHECK(frame == AssemblyBuffer.data());
    FUZZ_CHECK(total >= FrameOverhead && total <= AssemblyBufferSize);
    FUZZ_CHECK(total <= AssemblyFill.load());
    FUZZ_CHECK(frame[0] == FrameStart1 && frame[1] == FrameStart2);
    FUZZ_CHECK(total == static_cast<uint32_t>(frame[4]) * 256u + frame[5] + FrameOverhead);
    currentFrame = frame;
    currentTotal = total;
    operationsThisFrame = 0;
    __real__Z16HandleReplyFramePKhj(frame, total);
    FUZZ_CHECK(operationsThisFrame <= 1);
    currentFrame = nullptr;
}

void ShowNetConfig(const NetConfig& config)
{
    CheckAccepted(ReplyCode(GetNetConfig));
    const uint8_t* payload = currentFrame + FrameHeaderSize;
    const uint32_t payloadLength = currentTotal - FrameOverhead;
    FUZZ_CHECK(payloadLength >= 2);
    FUZZ_CHECK(config.dhcp == (payload[1] != 0));
    if (config.dhcp) {
        FUZZ_CHECK(config.ipAddress == 0 && config.subnetMask == 0 && config.gateway == 0);
    } else {
        FUZZ_CHECK(payloadLength >= 14);
        FUZZ_CHECK(config.ipAddress >> 24 == payload[2]);
        FUZZ_CHECK((config.gateway & 0xFF) == payload[13]);
    }
}

void AppendOutputLine(const char* text)
{
    CheckAccepted(ReplyCode(RunShellCommand));
    CheckReplyText(text, MaxReceivedPayload - 1);
}

void ShowAdminPassword(const char* text)
{
    CheckAccepted(ReplyCode(GetAdminPassword));
    CheckReplyText(text, PasswordBufferSize - 1);
}

void ShowNotice(const char* text)
{
    FUZZ_CHECK(currentFrame != nullptr);
    CheckAccepted(currentFrame[2]);
    FUZZ_CHECK(currentFrame[2] == ReplyCode(SetNetConfig) || currentFrame[2] == ReplyCode(SetAdminPassword));
    FUZZ_CHECK(std::strcmp(text, currentFrame[2] == ReplyCode(SetNetConfig) ? texts::NetConfigApplied
                                                                            : texts::PasswordChanged) == 0);
}

void OnHeartbeatReply()
{
    CheckAccepted(ReplyCode(Heartbeat));
}

// Handling a reply never sends anything.
void WritePort(const uint8_t*, uint32_t)
{
    FUZZ_CHECK(!"a reply caused a write");
}

// Single-threaded here: the lock has no one to exclude, and a wait ends at
// once with its whole time gone on a fake clock.
int64_t fakeNow = 0;
void SleepMilliseconds(uint32_t ms) { fakeNow += static_cast<int64_t>(ms) * 1000; }
int64_t MonotonicMicroseconds() { return fakeNow; }
void SignalReceivedBytes() {}
void WaitForReceivedBytes(uint32_t ms)
{
    if (ms != WaitForever)
        SleepMilliseconds(ms);
}
void SignalPortOpened() {}
void WaitForPortOpened() {}
void InitReceiveLock() {}
void EnterReceiveLock() {}
void LeaveReceiveLock() {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetReceiverForTest();
    Cursor in{data, size, 0};
    while (!in.Empty()) {
        const uint8_t control = in.Take();
        // Mostly short reads, now and then one of up to the full 1024 bytes.
        uint32_t length = (control & 0x80) ? (static_cast<uint32_t>(control & 0x3F) << 4) + 16
                                           : (control & 0x3F) + 1u;
        if (length > MaxReadSize)
            length = MaxReadSize;
        uint32_t n = 0;
        while (n < length && !in.Empty())
            StagingBuffer[n++] = in.Take();
        StagingCount = n;
        AppendStagedBytes();
        StagingCount = 0;
        CheckFill();
        // Bit 6 set: the assembler falls behind for a pass or more.
        const int passes = (control & 0x40) ? 0 : 1 + (control & 0x03);
        for (int p = 0; p < passes; ++p) {
            AssemblerPass();
            CheckFill();
        }
    }
    // The line falls quiet: after a few passes (the partial-start limit is
    // one wait) the buffer must be empty or hold only a started frame that
    // is still waiting for bytes.
    for (uint32_t p = 0; p < 16 && AssemblyFill.load() != 0; ++p) {
        AssemblerPass();
        CheckFill();
    }
    const uint32_t fill = AssemblyFill.load();
    if (fill != 0) {
        FUZZ_CHECK(fill >= MinFrameBytes);
        FUZZ_CHECK(AssemblyBuffer[0] == FrameStart1 && AssemblyBuffer[1] == FrameStart2);
        FUZZ_CHECK(fill < AssemblyBuffer[4] * 256u + AssemblyBuffer[5] + FrameOverhead);
    }
    return 0;
}
