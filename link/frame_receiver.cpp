#include "link/frame_receiver.h"

#include <cstring>

// A new opening of the port must start with an empty receiver, but only the
// assembler may remove bytes: it hands a frame over without the lock and
// subtracts its length afterwards, so emptying the buffer from another
// thread would make that subtraction underflow. So the reader, when it
// appends the first bytes of a new opening, only marks everything held
// before as stale (both under the lock), and the assembler drops the stale
// bytes at the start of its next pass. New bytes are never dropped with
// them, however late the assembler gets there.

namespace {

void EmptyBuffer(Receiver& r)
{
    EnterLock(r.lock);
    r.staleBytes = 0;
    r.fill.store(0, std::memory_order_release);
    LeaveLock(r.lock);
}

// Removes `count` bytes from the front, under the lock; the stale bytes among
// them are no longer stale.
void RemoveFront(Receiver& r, uint32_t count)
{
    EnterLock(r.lock);
    const uint32_t remaining = r.fill.load(std::memory_order_relaxed) - count;
    if (remaining != 0)
        std::memmove(r.buffer.data(), r.buffer.data() + count, remaining);
    r.staleBytes = r.staleBytes > count ? r.staleBytes - count : 0;
    r.fill.store(remaining, std::memory_order_release);
    LeaveLock(r.lock);
}

void DropStaleBytes(Receiver& r)
{
    EnterLock(r.lock);
    const uint32_t stale = r.staleBytes;
    LeaveLock(r.lock);
    if (stale != 0) {
        RemoveFront(r, stale);
        r.partialSince = NoPartialStart;
    }
}

void WaitForBytes(Receiver& r, uint32_t timeoutMs)
{
    r.platform.wait(r.platform.context, r.bytesArrived, timeoutMs);
}

// Whole milliseconds, rounded up, so the wait never ends before the limit.
uint32_t MillisecondsUntil(int64_t microseconds)
{
    return static_cast<uint32_t>((microseconds + 999) / 1000);
}

}  // namespace

Result MakeReceiver(Receiver& r, FrameSink sink, const PlatformCalls& platform)
{
    r.sink = sink;
    r.platform = platform;
    r.stopping.store(false);
    Result made = MakeLock(r.lock);
    if (Succeeded(made))
        made = MakeWakeup(r.bytesArrived);
    if (!Succeeded(made)) {
        DestroyLock(r.lock);
        return made;
    }
    r.made = true;
    return Success;
}

void DestroyReceiver(Receiver& r)
{
    if (!r.made)
        return;
    DestroyWakeup(r.bytesArrived);
    DestroyLock(r.lock);
    r.made = false;
}

void AppendBytes(Receiver& r, const uint8_t* bytes, uint32_t count, uint32_t opening)
{
    if (count == 0)
        return;
    EnterLock(r.lock);
    const uint32_t fill = r.fill.load(std::memory_order_relaxed);
    if (opening != r.bufferOpening) {
        r.staleBytes = fill;
        r.bufferOpening = opening;
    }
    const uint32_t room = MaxFrameBytes - fill;
    // What does not fit is dropped; the frame at the front must first be
    // consumed, and the bytes already held stay in order.
    const uint32_t kept = count < room ? count : room;
    if (kept != 0)
        std::memcpy(r.buffer.data() + fill, bytes, kept);
    // Stored after the bytes: the assembler reads them without the lock.
    r.fill.store(fill + kept, std::memory_order_release);
    LeaveLock(r.lock);
    SignalWakeup(r.bytesArrived);
}

void AssemblerPass(Receiver& r)
{
    DropStaleBytes(r);
    const uint32_t fill = r.fill.load(std::memory_order_acquire);
    if (fill == 0) {
        r.partialSince = NoPartialStart;
        WaitForBytes(r, WaitForever);
        return;
    }
    if (fill < MinFrameBytes) {
        // The limit runs from the first sight of the start; more bytes that
        // leave it below 8 do not restart it.
        const int64_t now = r.platform.now(r.platform.context);
        if (r.partialSince == NoPartialStart)
            r.partialSince = now;
        const int64_t waited = now - r.partialSince;
        if (waited >= PartialStartLimitUs) {
            r.partialSince = NoPartialStart;
            EmptyBuffer(r);
            return;
        }
        WaitForBytes(r, MillisecondsUntil(PartialStartLimitUs - waited));
        return;
    }
    r.partialSince = NoPartialStart;

    // The stream is brought back into step only by emptying everything held:
    // there is no search for a later 0x55 0xAA, which could as well be
    // payload.
    if (r.buffer[0] != FrameStart1 || r.buffer[1] != FrameStart2) {
        EmptyBuffer(r);
        return;
    }
    const uint32_t total = DeclaredTotal(r.buffer.data());
    // A frame larger than the buffer could never complete, and waiting for it
    // would block every frame behind it for good.
    if (total > MaxFrameBytes) {
        EmptyBuffer(r);
        return;
    }
    // A started frame has no time limit while the port stays open; it waits
    // for its rest at no cost. The bytes of a later opening wake it, and the
    // next pass drops it as stale.
    if (fill < total) {
        WaitForBytes(r, WaitForever);
        return;
    }

    // Without the lock: the reader only ever writes at and beyond the fill
    // count, so the frame stays unchanged while it is handled, however long.
    r.sink.frame(r.sink.context, r.buffer.data(), total);
    RemoveFront(r, total);
}

void RunAssembler(Receiver& r)
{
    while (!r.stopping.load())
        AssemblerPass(r);
}

void StopAssembler(Receiver& r)
{
    r.stopping.store(true);
    SignalWakeup(r.bytesArrived);
}
