#include "link/frame_receiver.h"

#include <cstring>

#include "link/frame_codec.h"
#include "link/platform.h"
#include "protocol/device_client.h"

std::array<uint8_t, AssemblyBufferSize> AssemblyBuffer;
std::atomic<uint32_t> AssemblyFill{0};
std::array<uint8_t, StagingBufferSize> StagingBuffer;
uint32_t StagingCount = 0;

namespace {

// 1 ms sleeps taken while 1..7 bytes were held; assembler thread only.
uint32_t idleCount = 0;

void EmptyAssemblyBuffer()
{
    EnterReceiveLock();
    AssemblyFill.store(0, std::memory_order_release);
    LeaveReceiveLock();
}

}  // namespace

void AppendStagedBytes()
{
    // Only the reader writes the staging count, so it is read without the lock.
    uint32_t staged = StagingCount;
    if (staged > StagingBufferSize)
        staged = StagingBufferSize;
    EnterReceiveLock();
    if (staged != 0) {
        const uint32_t fill = AssemblyFill.load(std::memory_order_relaxed);
        const uint32_t room = AssemblyBufferSize - fill;
        // What does not fit is dropped; the frame at the front must first be
        // consumed, and the bytes already held stay in order.
        const uint32_t kept = staged < room ? staged : room;
        if (kept != 0)
            std::memcpy(AssemblyBuffer.data() + fill, StagingBuffer.data(), kept);
        // Stored after the bytes: the assembler reads them without the lock.
        AssemblyFill.store(fill + kept, std::memory_order_release);
    }
    LeaveReceiveLock();
}

void AssemblerPass()
{
    const uint32_t fill = AssemblyFill.load(std::memory_order_acquire);
    if (fill < MinFrameBytes) {
        SleepMilliseconds(1);
        if (AssemblyFill.load(std::memory_order_acquire) == 0)
            return;
        // The count is not restarted by bytes that arrive meanwhile: a start
        // of a frame has IdleSleepLimit sleeps in all to reach 8 bytes.
        if (++idleCount < IdleSleepLimit)
            return;
        idleCount = 0;
        EmptyAssemblyBuffer();
        return;
    }
    idleCount = 0;

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
    // An incomplete frame is tested again at once: it has no time limit.
    if (fill < total)
        return;

    // Without the lock: the reader only ever writes at and beyond the fill
    // count, so the frame stays unchanged while it is handled, however long.
    HandleReplyFrame(AssemblyBuffer.data(), total);

    EnterReceiveLock();
    const uint32_t remaining = AssemblyFill.load(std::memory_order_relaxed) - total;
    if (remaining != 0)
        std::memmove(AssemblyBuffer.data(), AssemblyBuffer.data() + total, remaining);
    AssemblyFill.store(remaining, std::memory_order_release);
    LeaveReceiveLock();
}

[[noreturn]] void AssemblerThread()
{
    for (;;)
        AssemblerPass();
}

void ResetReceiverForTest()
{
    EnterReceiveLock();
    idleCount = 0;
    StagingCount = 0;
    AssemblyFill.store(0, std::memory_order_release);
    LeaveReceiveLock();
}
