// Arbitrary byte streams through the whole receive path: reads of sizes taken
// from the input go in through AppendBytes, AssemblerPass cuts frames, and
// the real HandleReplyFrame checks and decodes them for a reply handler that
// checks what it is handed. The receiver's frame sink is the harness: every
// frame the assembler delivers is checked here first, then handed on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/frame_receiver.h"
#include "session/session.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

Session session;     // never started: its port is closed, its threads none
Receiver receiver;   // driven by this thread alone

// The frame being dispatched, for the reply handler to compare with.
const uint8_t* currentFrame = nullptr;
uint32_t currentTotal = 0;
uint32_t repliesThisFrame = 0;

// A reply text must be the payload from byte 1 up to the first zero or the
// payload's end, cut to `limit` bytes, and terminated within that limit.
void CheckReplyText(const char* text, uint32_t limit)
{
    const uint8_t* payload = currentFrame + FrameHeaderSize;
    const uint32_t payloadLength = currentTotal - FrameOverhead;
    uint32_t expected = 0;
    while (1 + expected < payloadLength && payload[1 + expected] != 0 && expected < limit)
        ++expected;
    FUZZ_CHECK(std::memchr(text, 0, limit + 1) != nullptr);
    FUZZ_CHECK(std::strlen(text) == expected);
    FUZZ_CHECK(std::memcmp(text, payload + 1, expected) == 0);
}

void CheckReply(void*, const Reply& r)
{
    FUZZ_CHECK(currentFrame != nullptr);
    FUZZ_CHECK(CheckFrame(currentFrame, currentTotal));
    FUZZ_CHECK(r.code == currentFrame[2] && IsReplyCode(r.code));
    FUZZ_CHECK(currentTotal > FrameOverhead);
    const uint8_t* payload = currentFrame + FrameHeaderSize;
    FUZZ_CHECK(r.status == payload[0]);
    ++repliesThisFrame;
    if (r.status != 0) {
        FUZZ_CHECK(r.text[0] == '\0');
        return;
    }
    const uint32_t payloadLength = currentTotal - FrameOverhead;
    switch (r.code) {
    case ReplyCode(GetNetConfig):
        FUZZ_CHECK(payloadLength >= 2);
        FUZZ_CHECK(r.config.dhcp == (payload[1] != 0));
        if (r.config.dhcp) {
            FUZZ_CHECK(r.config.ipAddress == 0 && r.config.subnetMask == 0 && r.config.gateway == 0);
        } else {
            FUZZ_CHECK(payloadLength >= NetConfigReplySize);
            FUZZ_CHECK(r.config.ipAddress >> 24 == payload[2]);
            FUZZ_CHECK((r.config.gateway & 0xFF) == payload[13]);
        }
        break;
    case ReplyCode(RunShellCommand):
        CheckReplyText(r.text, MaxReplyTextBytes);
        break;
    case ReplyCode(GetAdminPassword):
        CheckReplyText(r.text, MaxPasswordTextBytes);
        break;
    default:
        FUZZ_CHECK(r.text[0] == '\0');
    }
}

// The receiver's frame sink.
void CheckFrameHandedOver(void*, const uint8_t* frame, uint32_t total)
{
    FUZZ_CHECK(frame == receiver.buffer.data());
    FUZZ_CHECK(total >= FrameOverhead && total <= MaxFrameBytes);
    FUZZ_CHECK(total <= receiver.fill.load());
    FUZZ_CHECK(frame[0] == FrameStart1 && frame[1] == FrameStart2);
    FUZZ_CHECK(total == static_cast<uint32_t>(frame[4]) * 256u + frame[5] + FrameOverhead);
    currentFrame = frame;
    currentTotal = total;
    repliesThisFrame = 0;
    HandleSessionFrame(session, frame, total);
    FUZZ_CHECK(repliesThisFrame <= 1);
    currentFrame = nullptr;
}

// Handling a reply never sends anything.
void NoWrite(void*, const uint8_t*, uint32_t) { FUZZ_CHECK(!"a reply caused a write"); }

// A fake clock: a wait ends at once with its whole time gone.
int64_t fakeNow = 0;
int64_t FakeNow(void*) { return fakeNow; }
bool FakeWait(void*, Wakeup&, uint32_t ms)
{
    if (ms != WaitForever)
        fakeNow += static_cast<int64_t>(ms) * 1000;
    return false;
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
    FUZZ_CHECK(receiver.fill.load() <= MaxFrameBytes);
}

// When the line falls quiet the assembler may still hold as many whole
// frames as fit, each handed over by one pass, and a start of 1 to 7 bytes
// takes one more pass to wait out its limit and one to go.
constexpr uint32_t QuietPasses = MaxFrameBytes / MinFrameBytes + 2;

void Begin()
{
    if (!receiver.made) {
        BindSession(session, SessionCallbacks{ReplyHandler{nullptr, CheckReply}, SupervisionHost{},
                                              FrameTap{nullptr, NoWrite, nullptr, nullptr}});
        MakeReceiver(receiver, FrameSink{nullptr, CheckFrameHandedOver}, PlatformCalls{nullptr, FakeNow, FakeWait});
    }
    // Nothing held from the last input: it starts as a new opening would.
    receiver.fill.store(0);
    receiver.staleBytes = 0;
    receiver.partialSince = NoPartialStart;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Begin();
    Cursor in{data, size, 0};
    uint8_t read[MaxFrameBytes];
    while (!in.Empty()) {
        const uint8_t control = in.Take();
        // Mostly short reads, now and then one of up to the full 1024 bytes.
        uint32_t length = (control & 0x80) ? (static_cast<uint32_t>(control & 0x3F) << 4) + 16
                                           : (control & 0x3F) + 1u;
        if (length > sizeof read)
            length = sizeof read;
        uint32_t n = 0;
        while (n < length && !in.Empty())
            read[n++] = in.Take();
        AppendBytes(receiver, read, n, 1);
        CheckFill();
        // Bit 6 set: the assembler falls behind for a pass or more.
        const int passes = (control & 0x40) ? 0 : 1 + (control & 0x03);
        for (int p = 0; p < passes; ++p) {
            AssemblerPass(receiver);
            CheckFill();
        }
    }
    // The line falls quiet: passes until the buffer stops changing. Then it
    // must be empty or hold only a started frame still waiting for bytes.
    uint32_t unchanged = 0;
    for (uint32_t p = 0; p < QuietPasses && receiver.fill.load() != 0 && unchanged < 2; ++p) {
        const uint32_t before = receiver.fill.load();
        AssemblerPass(receiver);
        CheckFill();
        unchanged = receiver.fill.load() == before ? unchanged + 1 : 0;
    }
    const uint32_t fill = receiver.fill.load();
    if (fill != 0) {
        FUZZ_CHECK(fill >= MinFrameBytes);
        FUZZ_CHECK(receiver.buffer[0] == FrameStart1 && receiver.buffer[1] == FrameStart2);
        FUZZ_CHECK(fill < receiver.buffer[4] * 256u + receiver.buffer[5] + FrameOverhead);
    }
    return 0;
}
