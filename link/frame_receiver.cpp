#include "link/frame_receiver.h"

#include <cstring>

#include "link/frame_codec.h"
#include "link/platform.h"
#include "protocol/device_client.h"

std::array<uint8_t, AssemblyBufferSize> AssemblyBuffer;
std::atomic<uint32_t> AssemblyFill{0};
std::array<uint8_t, StagingBufferSize> StagingBuffer;
uint32_t StagingCount = 0;
uint32_t StagingSession = 0;

namespace {

// A new opening of the port must start with an empty receiver, but only the
// assembler may remove bytes: it hands a frame over without the lock and
// subtracts its length afterwards, so emptying the buffer from another
// thread would make that subtraction underflow. So the reader, when it
// appends the first bytes of a new opening, only marks everything held
// before as stale (both under ReceiveLock), and the assembler drops the
// stale bytes at the start of its next pass. New bytes are never dropped
// with them, however late the assembler gets there.
uint32_t staleBytes = 0;      // front bytes of an earlier opening
uint32_t bufferSession = 0;   // the opening the newest held bytes came from

constexpr int64_t NoPartialStart = -1;
// When the assembler first saw the 1..7 bytes it holds; assembler thread only.
int64_t partialSince = NoPartialStart;

void EmptyAssemblyBuffer()
{
    EnterReceiveLock();
    staleBytes = 0;
    AssemblyFill.store(0, std::memory_order_release);
    LeaveReceiveLock();
}

// Removes `count` bytes from the front, under the lock; the stale bytes among
// them are no longer stale.
void RemoveFront(uint32_t count)
{
    EnterReceiveLock();
    const uint32_t remaining = AssemblyFill.load(std::memory_order_relaxed) - count;
    if (remaining != 0)
        std::memmove(AssemblyBuffer.data(), AssemblyBuffer.data() + count, remaining);
    staleBytes = staleBytes > count ? staleBytes - count : 0;
    AssemblyFill.store(remaining, std::memory_order_release);
    LeaveReceiveLock();
}

void DropStaleBytes()
{
    EnterReceiveLock();
    const uint32_t stale = staleBytes;
    LeaveReceiveLock();
    if (stale != 0) {
        RemoveFront(stale);
        partialSince = NoPartialStart;
    }
}

// Whole milliseconds, rounded up, so the wait never ends before the limit.
uint32_t MillisecondsUntil(int64_t microseconds)
{
    return static_cast<uint32_t>((microseconds + 999) / 1000);
}

}  // namespace

void AppendStagedBytes()
{
    // Only the reader writes the staging count, so it is read without the lock.
    uint32_t staged = StagingCount;
    if (staged > StagingBufferSize)
        staged = StagingBufferSize;
    if (staged == 0)
        return;
    EnterReceiveLock();
    const uint32_t fill = AssemblyFill.load(std::memory_order_relaxed);
    if (StagingSession != bufferSession) {
        staleBytes = fill;
        bufferSession = StagingSession;
    }
    const uint32_t room = AssemblyBufferSize - fill;
    // What does not fit is dropped; the frame at the front must first be
    // consumed, and the bytes already held stay in order.
    const uint32_t kept = staged < room ? staged : room;
    if (kept != 0)
        std::memcpy(AssemblyBuffer.data() + fill, StagingBuffer.data(), kept);
    // Stored after the bytes: the assembler reads them without the lock.
    AssemblyFill.store(fill + kept, std::memory_order_release);
    LeaveReceiveLock();
    SignalReceivedBytes();
}

void AssemblerPass()
{
    DropStaleBytes();
    const uint32_t fill = AssemblyFill.load(std::memory_order_acquire);
    if (fill == 0) {
        partialSince = NoPartialStart;
        WaitForReceivedBytes(WaitForever);
        return;
    }
    if (fill < MinFrameBytes) {
        // The limit runs from the first sight of the start; more bytes that
        // leave it below 8 do not restart it.
        const int64_t now = MonotonicMicroseconds();
        if (partialSince == NoPartialStart)
            partialSince = now;
        const int64_t waited = now - partialSince;
        if (waited >= PartialStartLimitUs) {
            partialSince = NoPartialStart;
            EmptyAssemblyBuffer();
            return;
        }
        WaitForReceivedBytes(MillisecondsUntil(PartialStartLimitUs - waited));
        return;
    }
    partialSince = NoPartialStart;

    // The stream is brought back into step only by emptying everything held:
    // there is no search for a later 0x55 0xAA, which could as well be
    // payload.
    if (AssemblyBuffer[0] != FrameStart1 || AssemblyBuffer[1] != FrameStart2) {
        EmptyAssemblyBuffer();
        return;
    }
    const uint32_t total = static_cast<uint32_t>(AssemblyBuffer[4]) * 256u + AssemblyBuffer[5] +
                           FrameOverhead;
    // A frame larger than the buffer could never complete, and waiting for it
    // would block every frame behind it for good.
    if (total > AssemblyBufferSize) {
        EmptyAssemblyBuffer();
        return;
    }
    // A started frame has no time limit while the port stays open; it waits
    // for its rest at no cost. The bytes of a later opening wake it, and the
    // next pass drops it as stale.
    if (fill < total) {
        WaitForReceivedBytes(WaitForever);
        return;
    }

    // Without the lock: the reader only ever writes at and beyond the fill
    // count, so the frame stays unchanged while it is handled, however long.
    HandleReplyFrame(AssemblyBuffer.data(), total);
    RemoveFront(total);
}

[[noreturn]] void AssemblerThread()
{
    for (;;)
        AssemblerPass();
}

void ResetReceiverForTest()
{
    EnterReceiveLock();
    partialSince = NoPartialStart;
    staleBytes = 0;
    bufferSession = 0;
    StagingCount = 0;
    StagingSession = 0;
    AssemblyFill.store(0, std::memory_order_release);
    LeaveReceiveLock();
}
