#include "device/rx_stream.h"

#include <cstring>

#include "wire/frame_codec.h"

void RxReset(RxStream& rx)
{
    rx.fill = 0;
    rx.garbageCount = 0;
    rx.lastByteMs = 0;
}

uint32_t RxSpace(const RxStream& rx) { return RxBufferSize - rx.fill; }

namespace {

void FlushGarbage(RxStream& rx, RxSink sink, void* context)
{
    if (rx.garbageCount != 0)
        sink(context, RxKind::Garbage, rx.garbage.data(), rx.garbageCount);
    rx.garbageCount = 0;
}

void Consume(RxStream& rx, uint32_t n)
{
    std::memmove(rx.held.data(), rx.held.data() + n, rx.fill - n);
    rx.fill -= n;
}

void MoveToGarbage(RxStream& rx, uint32_t n, RxSink sink, void* context)
{
    for (uint32_t i = 0; i < n; ++i) {
        if (rx.garbageCount == MaxGarbageRun)
            FlushGarbage(rx, sink, context);
        rx.garbage[rx.garbageCount++] = rx.held[i];
    }
    Consume(rx, n);
}

// Bytes before the first place where a frame could start.
uint32_t LeadingGarbage(const RxStream& rx)
{
    for (uint32_t i = 0; i < rx.fill; ++i) {
        if (rx.held[i] != FrameStart1)
            continue;
        if (i + 1 == rx.fill || rx.held[i + 1] == FrameStart2)
            return i;
    }
    return rx.fill;
}

void Cut(RxStream& rx, RxSink sink, void* context)
{
    while (rx.fill > 0) {
        const uint32_t junk = LeadingGarbage(rx);
        if (junk != 0) {
            MoveToGarbage(rx, junk, sink, context);
            continue;
        }
        if (rx.fill < FrameHeaderSize)
            return;
        const uint32_t total = DeclaredTotal(rx.held.data());
        if (total > MaxFrameBytes) {
            FlushGarbage(rx, sink, context);
            sink(context, RxKind::Oversize, rx.held.data(), FrameHeaderSize);
            Consume(rx, 2);
            continue;
        }
        if (rx.fill < total)
            return;
        FlushGarbage(rx, sink, context);
        sink(context, CheckFrame(rx.held.data(), total) ? RxKind::Frame : RxKind::BadChecksum,
             rx.held.data(), total);
        Consume(rx, total);
    }
}

}  // namespace

void RxFeed(RxStream& rx, const uint8_t* bytes, uint32_t count, int64_t nowMs, RxSink sink,
            void* context)
{
    while (count > 0) {
        uint32_t n = RxSpace(rx) < count ? RxSpace(rx) : count;
        std::memcpy(rx.held.data() + rx.fill, bytes, n);
        rx.fill += n;
        bytes += n;
        count -= n;
        Cut(rx, sink, context);
    }
    if (rx.fill == 0)
        FlushGarbage(rx, sink, context);
    rx.lastByteMs = nowMs;
}

void RxQuiet(RxStream& rx, int64_t nowMs, RxSink sink, void* context)
{
    if (rx.fill != 0 && nowMs - rx.lastByteMs < RxQuietMs)
        return;
    FlushGarbage(rx, sink, context);
    if (rx.fill != 0) {
        sink(context, RxKind::Incomplete, rx.held.data(), rx.fill);
        rx.fill = 0;
    }
}
